// The pictures, cursor and icon from the pixels baked into the program at build time: it runs
// from a bare folder on the pen, and decoding them here would open gdk-pixbuf's loaders at every
// start.
#include "platform/gtk/pictures.h"

#include <string>

#include "platform/gtk/baked_pictures.h"

namespace ostrael::gtk {

namespace {

GObjectPtr<GdkPixbuf> pixbuf_of(const BakedPicture& picture) {
  const gsize row = static_cast<gsize>(picture.width) * picture.channels;
  // Static bytes: the pixbuf reads the program's own read-only data and copies nothing.
  g_autoptr(GBytes) bytes = g_bytes_new_static(picture.pixels, row * picture.height);
  return GObjectPtr<GdkPixbuf>(gdk_pixbuf_new_from_bytes(bytes, GDK_COLORSPACE_RGB, picture.channels == 4, 8,
                                                         picture.width, picture.height, static_cast<int>(row)));
}

const BakedPicture* find_baked(std::string_view file) {
  for (const BakedPicture& picture : baked_pictures())
    if (picture.file == file) return &picture;
  return nullptr;
}

Failure not_built_in(std::string_view file) { return Failure{"baked_pictures", 0, std::string(file) + " is not built in"}; }

}  // namespace

Result<GObjectPtr<GdkPixbuf>> load_picture(ui::Asset asset) {
  std::string_view file = ui::asset_file(asset);
  const BakedPicture* picture = find_baked(file);
  if (!picture) return not_built_in(file);
  return pixbuf_of(*picture);
}

Result<HandCursor> hand_cursor_picture() {
  const BakedPicture* picture = find_baked(ui::kCursorFile);
  if (!picture) return not_built_in(ui::kCursorFile);
  return HandCursor{pixbuf_of(*picture), HotSpot{picture->hot_x, picture->hot_y}};
}

Result<GObjectPtr<GdkCursor>> load_hand_cursor(GdkDisplay* display) {
  auto hand = hand_cursor_picture();
  if (!hand) return hand.failure();
  GdkCursor* cursor = gdk_cursor_new_from_pixbuf(display, hand->picture.get(), hand->hot.x, hand->hot.y);
  if (!cursor) return Failure{"gdk_cursor_new_from_pixbuf", 0, "no cursor"};
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
