// The pictures, cursor and icon from what is baked into the program at build time: it runs from a
// bare folder on the pen, and decoding them here would open gdk-pixbuf's loaders at every start.
// The pictures are the GIF files and their coverage, decoded by the program's own decoder.
#include "platform/gtk/pictures.h"

#include <cstring>
#include <string>

#include "platform/gtk/baked_pictures.h"

namespace ostrael::gtk {

namespace {

GBytes* pixel_bytes(const BakedPicture& picture) {
  const gsize pixels = static_cast<gsize>(picture.width) * picture.height, size = pixels * picture.channels;
  // Static bytes: the pixbuf reads the program's own read-only data and copies nothing.
  if (!picture.palette) return g_bytes_new_static(picture.pixels, size);
  auto* unpacked = static_cast<guint8*>(g_malloc(size));
  for (gsize i = 0; i < pixels; ++i) {
    const unsigned index = picture.pixels[i / 4] >> (2 * (i % 4)) & 3;
    std::memcpy(unpacked + i * picture.channels, picture.palette + index * picture.channels, picture.channels);
  }
  return g_bytes_new_take(unpacked, size);
}

GObjectPtr<GdkPixbuf> pixbuf_of(const BakedPicture& picture) {
  g_autoptr(GBytes) bytes = pixel_bytes(picture);
  return GObjectPtr<GdkPixbuf>(gdk_pixbuf_new_from_bytes(bytes, GDK_COLORSPACE_RGB, picture.channels == 4, 8, picture.width,
                                                         picture.height, picture.width * picture.channels));
}

// `picture` as an image surface `scale` of whose pixels make one of the window's.
Result<SurfacePtr> surface_of(const ui::Picture& picture, int scale) {
  SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.width, picture.height));
  if (cairo_status_t status = cairo_surface_status(surface.get()); status != CAIRO_STATUS_SUCCESS)
    return Failure{"cairo_image_surface_create", status, cairo_status_to_string(status)};
  unsigned char* rows = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < picture.height; ++y)
    std::memcpy(rows + static_cast<std::size_t>(y) * stride, &picture.pixels[static_cast<std::size_t>(y) * picture.width],
                static_cast<std::size_t>(picture.width) * 4);
  cairo_surface_mark_dirty(surface.get());
  cairo_surface_set_device_scale(surface.get(), scale, scale);
  return surface;
}

// The image of `file` that is `width` pixels wide, or its first for 0.
const BakedPicture* find_baked(std::string_view file, int width = 0) {
  for (const BakedPicture& picture : baked_pictures())
    if (picture.file == file && (width == 0 || picture.width == width)) return &picture;
  return nullptr;
}

const BakedFile* find_file(std::string_view file) {
  for (const BakedFile& baked : baked_files())
    if (baked.file == file) return &baked;
  return nullptr;
}

Failure not_built_in(std::string_view what) { return Failure{"baked_pictures", 0, std::string(what) + " is not built in"}; }

}  // namespace

ui::Picture picture_of(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
  ui::Picture out{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height)};
  for (int y = 0; y < height; ++y)
    std::memcpy(&out.pixels[static_cast<std::size_t>(y) * width],
                cairo_image_surface_get_data(surface) + static_cast<std::size_t>(y) * cairo_image_surface_get_stride(surface),
                static_cast<std::size_t>(width) * 4);
  return out;
}

Result<SurfacePtr> load_picture(const ui::Control& control, int scale) {
  auto picture = ui::finished_picture(control, ui::kDesignDpi * scale, [](std::string_view file) -> Result<std::string_view> {
    const BakedFile* baked = find_file(file);
    if (!baked) return not_built_in(file);
    return std::string_view(reinterpret_cast<const char*>(baked->bytes.data()), baked->bytes.size());
  });
  if (!picture) return picture.failure();
  return surface_of(*picture, scale);
}

Result<HandCursor> hand_cursor_picture(int size) {
  const BakedPicture* picture = find_baked(ui::kCursorFile, size);
  if (!picture) return not_built_in("a hand of that size");
  return HandCursor{pixbuf_of(*picture), HotSpot{picture->hot_x, picture->hot_y}};
}

Result<GObjectPtr<GdkCursor>> load_hand_cursor(GdkDisplay* display, int scale) {
  const int base = ui::kCursorSizes.front(), pixels = base * scale, size = ui::drawn_size_for(pixels, ui::kCursorSizes);
  auto hand = hand_cursor_picture(size);
  if (!hand) return hand.failure();
  SurfacePtr surface(gdk_cairo_surface_create_from_pixbuf(hand->picture.get(), scale, nullptr));
  if (size != pixels) {
    auto larger = surface_of(ui::resized(picture_of(surface.get()), pixels, pixels), scale);
    if (!larger) return larger.failure();
    surface = std::move(*larger);
  }
  // GDK takes the hot spot in the window's pixels; on X11 it keeps only whole ones of those.
  const ui::Point hot = ui::scaled_point({hand->hot.x, hand->hot.y}, size, pixels);
  GdkCursor* cursor = gdk_cursor_new_from_surface(display, surface.get(), static_cast<double>(hot.x) / scale,
                                                  static_cast<double>(hot.y) / scale);
  if (!cursor) return Failure{"gdk_cursor_new_from_surface", 0, "no cursor"};
  return GObjectPtr<GdkCursor>(cursor);
}

Result<std::vector<GObjectPtr<GdkPixbuf>>> load_window_icons() {
  std::vector<GObjectPtr<GdkPixbuf>> icons;
  for (const BakedPicture& picture : baked_pictures())
    if (picture.file == ui::kIconFile) icons.push_back(pixbuf_of(picture));
  if (icons.empty()) return not_built_in(ui::kIconFile);
  return icons;
}

}  // namespace ostrael::gtk
