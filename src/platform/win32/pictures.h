// The four button pictures for the window's dpi: GIFs from the resources, decoded once by the
// program's own decoder and made at their controls' size.
#pragma once

#include <windows.h>

#include <array>

#include "platform/result.h"
#include "ui/layout.h"
#include "unique_handle.h"

namespace win32 {

class Pictures {
 public:
  Pictures() = default;
  Pictures(const Pictures&) = delete;
  Pictures& operator=(const Pictures&) = delete;

  // Makes every picture for `dpi`, in place of those for the dpi before. What fails is left out
  // and drawn as nothing.
  ostrael::Status load(HINSTANCE instance, int dpi);
  // Fills `rect` with the button face colour and draws the picture over it, pixel for pixel.
  void draw(HDC dc, ostrael::ui::Asset asset, const RECT& rect) const;

 private:
  struct Bitmap {
    UniqueBitmap bitmap;  // 32 bpp, premultiplied alpha
    int width = 0;
    int height = 0;
  };
  std::array<Bitmap, 5> bitmaps_{};  // indexed by Asset
};

}  // namespace win32
