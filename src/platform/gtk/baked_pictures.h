// The pictures, cursor and icons as bake_pictures decoded them from the committed files at build
// time, so that starting the program opens no image loader.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace ostrael::gtk {

struct BakedPicture {
  std::string_view file;  // the asset it came from; an icon file gives one entry per size
  int width, height;
  int channels;          // 3 or 4: 8-bit RGB(A), alpha not premultiplied, as gdk-pixbuf keeps them
  int hot_x, hot_y;      // a cursor's hot spot; -1 for the rest
  const std::uint8_t* pixels;  // rows packed, width * channels bytes each
};

// In the order of the files given to bake_pictures, an icon's sizes smallest first.
std::span<const BakedPicture> baked_pictures();

}  // namespace ostrael::gtk
