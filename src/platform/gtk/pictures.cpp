// Loads the pictures, cursor and icon from the GResource bundle linked into the program; the
// program runs from a bare folder on the pen, so nothing is looked up on disk.
#include "platform/gtk/pictures.h"

#include <algorithm>
#include <map>
#include <string>

// glib-compile-resources writes a C header without C++ guards.
extern "C" {
#include "ostrael_assets.h"
}

namespace ostrael::gtk {

namespace {

constexpr std::string_view kResourcePrefix = "/ostrael/assets/";

Result<GBytes*> asset_bytes(std::string_view file) {
  static const bool registered = (ostrael_assets_register_resource(), true);
  (void)registered;
  std::string path = std::string(kResourcePrefix) + std::string(file);
  g_autoptr(GError) error = nullptr;
  GBytes* bytes = g_resources_lookup_data(path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, &error);
  if (!bytes) return gerror_failure("g_resources_lookup_data " + path, error);
  return bytes;
}

std::span<const std::uint8_t> span_of(GBytes* bytes) {
  gsize size = 0;
  auto data = static_cast<const std::uint8_t*>(g_bytes_get_data(bytes, &size));
  return {data, size};
}

unsigned u16(std::span<const std::uint8_t> b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) { return u16(b, at) | std::uint32_t{u16(b, at + 2)} << 16; }

constexpr std::size_t kDirSize = 6, kEntrySize = 16;
constexpr unsigned kIconType = 1, kCursorType = 2;

Result<GObjectPtr<GdkPixbuf>> decode(std::span<const std::uint8_t> bytes, const char* type, std::string_view what) {
  g_autoptr(GdkPixbufLoader) loader = gdk_pixbuf_loader_new_with_type(type, nullptr);
  if (!loader) return Failure{"gdk_pixbuf_loader_new_with_type", 0, std::string("no ") + type + " loader"};
  g_autoptr(GError) error = nullptr;
  if (!gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), &error) || !gdk_pixbuf_loader_close(loader, &error))
    return gerror_failure("gdk_pixbuf_loader " + std::string(what), error);
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
  if (!pixbuf) return Failure{"gdk_pixbuf_loader " + std::string(what), 0, "no image"};
  return GObjectPtr<GdkPixbuf>(GDK_PIXBUF(g_object_ref(pixbuf)));
}

}  // namespace

Result<GObjectPtr<GdkPixbuf>> load_picture(ui::Asset asset) {
  std::string_view file = ui::asset_file(asset);
  auto bytes = asset_bytes(file);
  if (!bytes) return bytes.failure();
  g_autoptr(GBytes) owned = *bytes;
  return decode(span_of(owned), "gif", file);
}

std::optional<HotSpot> cursor_hot_spot(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kDirSize + kEntrySize || u16(bytes, 0) != 0 || u16(bytes, 2) != kCursorType || u16(bytes, 4) == 0)
    return std::nullopt;
  return HotSpot{static_cast<int>(u16(bytes, kDirSize + 4)), static_cast<int>(u16(bytes, kDirSize + 6))};
}

Result<GObjectPtr<GdkCursor>> load_hand_cursor(GdkDisplay* display) {
  auto bytes = asset_bytes(ui::kCursorFile);
  if (!bytes) return bytes.failure();
  g_autoptr(GBytes) owned = *bytes;
  std::optional<HotSpot> hot = cursor_hot_spot(span_of(owned));
  if (!hot) return Failure{"cursor_hot_spot", 0, std::string(ui::kCursorFile) + " is not a cursor file"};
  auto pixbuf = decode(span_of(owned), "ico", ui::kCursorFile);
  if (!pixbuf) return pixbuf.failure();
  GdkCursor* cursor = gdk_cursor_new_from_pixbuf(display, pixbuf->get(), hot->x, hot->y);
  if (!cursor) return Failure{"gdk_cursor_new_from_pixbuf", 0, "no cursor"};
  return GObjectPtr<GdkCursor>(cursor);
}

Result<std::vector<GObjectPtr<GdkPixbuf>>> load_window_icons() {
  auto bytes = asset_bytes(ui::kIconFile);
  if (!bytes) return bytes.failure();
  g_autoptr(GBytes) owned = *bytes;
  std::span<const std::uint8_t> file = span_of(owned);
  const Failure malformed{"load_window_icons", 0, std::string(ui::kIconFile) + " is malformed"};
  if (file.size() < kDirSize || u16(file, 0) != 0 || u16(file, 2) != kIconType) return malformed;
  const unsigned count = u16(file, 4);
  if (file.size() < kDirSize + count * kEntrySize) return malformed;

  // The loader picks one image per file, so each chosen image goes to it as a one-image file.
  std::map<unsigned, std::size_t> deepest;  // width -> entry offset
  for (unsigned i = 0; i < count; ++i) {
    std::size_t entry = kDirSize + i * kEntrySize;
    unsigned width = file[entry] ? file[entry] : 256;
    auto [it, fresh] = deepest.try_emplace(width, entry);
    if (!fresh && u16(file, entry + 6) > u16(file, it->second + 6)) it->second = entry;
  }
  std::vector<GObjectPtr<GdkPixbuf>> icons;
  for (auto [width, entry] : deepest) {
    std::uint32_t size = u32(file, entry + 8), offset = u32(file, entry + 12);
    if (offset > file.size() || size > file.size() - offset) return malformed;
    std::vector<std::uint8_t> single(file.begin(), file.begin() + kDirSize + kEntrySize);
    single[4] = 1;
    single[5] = 0;
    std::copy_n(file.begin() + entry, kEntrySize, single.begin() + kDirSize);
    const std::uint32_t data_at = kDirSize + kEntrySize;
    for (int b = 0; b < 4; ++b) single[kDirSize + 12 + b] = static_cast<std::uint8_t>(data_at >> (8 * b));
    single.insert(single.end(), file.begin() + offset, file.begin() + offset + size);
    auto icon = decode(single, "ico", ui::kIconFile);
    if (!icon) return icon.failure();
    icons.push_back(std::move(*icon));
  }
  if (icons.empty()) return malformed;
  return icons;
}

}  // namespace ostrael::gtk
