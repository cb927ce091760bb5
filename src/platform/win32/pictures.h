// The four button pictures: GIFs from the resources, decoded once by the program's own decoder
// and drawn with their transparency, scaled to the control when the dpi is not 96.
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

  // Decodes every picture. What fails to decode is left out and drawn as nothing.
  ostrael::Status load(HINSTANCE instance);
  // Fills `rect` with the button face colour and draws the picture over it.
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
