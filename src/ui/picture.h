// A picture's pixels as the window draws them, and its resizing for screens of another scale.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ostrael::ui {

struct Picture {
  int width = 0;
  int height = 0;
  // Top row first; 0xAARRGGBB with the colour premultiplied by alpha, which both GDI's alpha
  // blending and cairo's ARGB32 take as they are.
  std::vector<std::uint32_t> pixels;
};

// Of the sizes a picture is drawn at (smallest first), the one to make a `pixels` wide picture
// from: that size itself, else the next larger one, else the largest.
int drawn_size_for(int pixels, std::span<const int> drawn);

// `picture` at `width` x `height`: each new pixel the mean of the area it covers when it shrinks,
// so no line of the drawing is dropped or doubled; bilinear where it grows, which only the
// largest drawing ever has to.
Picture resized(const Picture& picture, int width, int height);

}  // namespace ostrael::ui
