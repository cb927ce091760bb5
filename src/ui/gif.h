// Decodes the button pictures: the first image of a GIF, with its transparent colour.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace ostrael::ui {

struct Picture {
  int width = 0;
  int height = 0;
  // Top row first; 0xAARRGGBB with the colour premultiplied by alpha, which is 0 or 255.
  std::vector<std::uint32_t> pixels;
};

// Fails on anything that is not a well-formed GIF, and on pictures over 1024 x 1024.
Result<Picture> decode_gif(std::string_view bytes);

}  // namespace ostrael::ui
