// A picture's pixels as the window draws them: laid on the window's background, its size for a
// screen's scale and its resizing for it, and the hand's hot spot at that size.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/result.h"
#include "ui/layout.h"

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

struct PictureSize {
  int width, height;  // on screen
  int drawn;          // the drawing it is made from, of kPictureSizes
};

// A picture control at `dpi`: its size there, the control's own, and the drawing to make it from.
// GTK's scale factor s is the dpi 96 s.
PictureSize picture_size(const Control& control, int dpi);

struct Point {
  int x, y;
};

// A point of a drawing `drawn` pixels wide on the same drawing resized to `size`: to the nearest
// pixel and inside it, so a hot spot stays on the fingertip.
Point scaled_point(Point at, int drawn, int size);

// The grey (0xRRGGBB) the pictures' edges are smoothed against, and the coverage kept beside
// each picture lets the programs take off again.
inline constexpr std::uint32_t kMatte = 0xF0F0F0;

// The picture as drawn on kMatte, given the coverage beside it (a grey picture of the same size;
// each pixel's level in its low byte), as premultiplied pixels that lie on any background: each
// colour less the grey its edge took, c - (1 - a) * kMatte. Empty if the sizes differ.
Picture without_matte(const Picture& drawn, const Picture& coverage);

// A premultiplied picture laid on the opaque colour `rgb` (0xRRGGBB), rounded to the nearest as
// cairo's pixman rounds: on kMatte a picture from without_matte comes out as drawn, pixel for pixel.
Picture laid_on(const Picture& picture, std::uint32_t rgb);

// `picture` at `width` x `height`: each new pixel the mean of the area it covers when it shrinks,
// so no line of the drawing is dropped or doubled; bilinear where it grows, which only the
// largest drawing ever has to.
Picture resized(const Picture& picture, int width, int height);

// The bytes of a file of src/ui/assets ("close-96.gif") as the program carries it: any callable,
// borrowed for the length of one call. Not std::function, whose bad_function_call would link the
// exception machinery into Ostrael.exe, some 68 KiB it otherwise does without.
class FindBytes {
 public:
  template <class F>
    requires(!std::is_same_v<F, FindBytes>)
  FindBytes(const F& find)  // NOLINT(google-explicit-constructor): a lambda is passed as it is
      : find_(&find), call_([](const void* f, std::string_view file) -> Result<std::string_view> {
          return (*static_cast<const F*>(f))(file);
        }) {}
  Result<std::string_view> operator()(std::string_view file) const { return call_(find_, file); }

 private:
  const void* find_;
  Result<std::string_view> (*call_)(const void*, std::string_view);
};

// The picture `control` shows at `dpi`, premultiplied and ready to lay on any background: its
// drawing for that size and the coverage beside it, decoded, without the grey, at the control's
// size. The one road from a file's bytes to what a backend draws.
Result<Picture> finished_picture(const Control& control, int dpi, const FindBytes& find_bytes);

}  // namespace ostrael::ui
