// The art for the window's dpi: the four button pictures, GIFs and their coverage from the
// resources decoded once by the program's own decoder, made at their controls' size and laid on
// the button face colour, and the hand shown over them.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

#include "platform/result.h"
#include "ui/layout.h"
#include "ui/picture.h"
#include "unique_handle.h"

namespace win32 {

// The hand, loaded as drawn or made from a larger drawing, each freed as the call that gave it
// says: DestroyCursor for LoadImageW's, DestroyIcon for CreateIconIndirect's.
struct Hand {
  UniqueCursor loaded;
  UniqueIcon made;
  HCURSOR get() const { return loaded ? loaded.get() : made.get(); }
};

class Pictures {
 public:
  Pictures() = default;
  Pictures(const Pictures&) = delete;
  Pictures& operator=(const Pictures&) = delete;
  Pictures(Pictures&&) = default;
  // A set made for another dpi takes the place of this one whole; the pointer resting on a
  // picture shows the new hand before the old one is destroyed.
  Pictures& operator=(Pictures&& next) noexcept;

  // Makes every picture and the hand for `dpi` from the art in `instance`, in place of those for
  // the dpi before. What fails is left out: a picture is then drawn as nothing, and the pictures
  // show the arrow.
  ostrael::Status load(HINSTANCE instance, int dpi);
  // Lays the pictures on the button face colour again if it is not the one they lie on, as after
  // WM_SYSCOLORCHANGE or WM_THEMECHANGED; true if they changed and want painting.
  bool follow_face_colour();
  // Draws the picture in `rect`, which it fills, pixel for pixel; the button face where it has none.
  void draw(HDC dc, ostrael::ui::Asset asset, const RECT& rect) const;
  // Null when it failed to load.
  HCURSOR hand() const { return hand_.get(); }

 private:
  struct Bitmap {
    UniqueBitmap bitmap;  // 32 bpp, opaque: the picture on face_
    int width = 0;
    int height = 0;
  };
  ostrael::Status lay_on_face();

  std::array<ostrael::ui::Picture, 5> pictures_{};  // premultiplied, indexed by Asset
  std::uint32_t face_ = 0;                          // 0xRRGGBB
  std::array<Bitmap, 5> bitmaps_{};                 // indexed by Asset
  Hand hand_;
};

// The button face colour, or `colour`, as 0xRRGGBB, the way ui::laid_on takes it.
std::uint32_t face_rgb(COLORREF colour = ::GetSysColor(COLOR_BTNFACE));

// The hand at `size` pixels: the file's drawing of that size, or the next larger one reduced,
// with its hot spot on the same point of the hand.
ostrael::Result<Hand> hand_cursor(HINSTANCE instance, int size);

}  // namespace win32
