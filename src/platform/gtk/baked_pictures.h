// The cursor and icons as bake_pictures decoded them from the committed files at build time, so
// that starting the program opens no image loader; and the pictures' GIF files with their coverage.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace ostrael::gtk {

struct BakedPicture {
  std::string_view file;  // the asset it came from; an icon or cursor file gives one entry per image
  int width, height;
  int channels;          // 3 or 4: 8-bit RGB(A), alpha not premultiplied, as gdk-pixbuf keeps them
  int hot_x, hot_y;      // a cursor's hot spot; -1 for the rest
  const std::uint8_t* pixels;  // rows packed, width * channels bytes each; see palette
  // When set, `pixels` holds two bits a pixel, the first pixel in the lowest bits of the first
  // byte, each an index into these four colours of `channels` bytes.
  const std::uint8_t* palette;
};

// In the order of the files given to bake_pictures, an icon's sizes smallest first, a cursor's
// images in the file's order.
std::span<const BakedPicture> baked_pictures();

struct BakedFile {
  std::string_view file;
  std::span<const std::uint8_t> bytes;  // as committed
};

// The pictures and their coverage at each size GTK's scales draw from.
std::span<const BakedFile> baked_files();

}  // namespace ostrael::gtk
