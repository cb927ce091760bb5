// GIF resources into 32-bit DIB sections made for one dpi, drawn with GDI's alpha blending. No
// image library is loaded: at start-up that alone cost more than the rest of the window.
#include "pictures.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "failure.h"
#include "resource.h"
#include "ui/gif.h"

namespace win32 {

namespace {

namespace ui = ostrael::ui;
using ui::Asset;

int resource_id(Asset asset, int size) {
  int id = 0;
  switch (asset) {
    case Asset::CloseGif: id = IDR_CLOSE_GIF; break;
    case Asset::MessageGif: id = IDR_MESSAGE_GIF; break;
    case Asset::InfoGif: id = IDR_INFO_GIF; break;
    case Asset::OpenGif: id = IDR_OPEN_GIF; break;
    case Asset::None: return 0;
  }
  auto step = std::find(ui::kPictureSizes.begin(), ui::kPictureSizes.end(), size) - ui::kPictureSizes.begin();
  return id + IDR_SIZE_STEP * static_cast<int>(step);
}

ostrael::Result<std::string_view> resource_bytes(HINSTANCE instance, int id) {
  HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return last_error_failure("FindResourceW");
  DWORD size = ::SizeofResource(instance, found);
  HGLOBAL loaded = ::LoadResource(instance, found);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes || !size) return last_error_failure("LoadResource");
  return std::string_view(static_cast<const char*>(bytes), size);
}

// The picture of a control at `dpi`, at the control's size: the drawing of that size, else the
// next larger one reduced (enlarged only past the largest), here once and never when painting.
ostrael::Result<ui::Picture> picture_for(HINSTANCE instance, const ui::Control& control, int dpi) {
  ui::Rect size = ui::client_pixels(control, dpi);
  int drawn = ui::drawn_size_for(std::max(size.width, size.height), ui::kPictureSizes);
  ASSIGN_OR_FORWARD(std::string_view bytes, resource_bytes(instance, resource_id(control.picture, drawn)));
  ASSIGN_OR_FORWARD(ui::Picture picture, ui::decode_gif(bytes));
  return ui::resized(picture, size.width, size.height);
}

BITMAPINFO top_down_32bpp(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

ostrael::Result<UniqueBitmap> dib_section(const ui::Picture& picture) {
  BITMAPINFO info = top_down_32bpp(picture.width, picture.height);
  void* bits = nullptr;
  UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return last_error_failure("CreateDIBSection");
  std::memcpy(bits, picture.pixels.data(), picture.pixels.size() * sizeof picture.pixels[0]);
  return bitmap;
}

}  // namespace

ostrael::Status Pictures::load(HINSTANCE instance, int dpi) {
  ostrael::Status first_failure;
  auto keep_first = [&](const ostrael::Failure& failure) {
    if (first_failure) first_failure = ostrael::Status(failure);
  };
  std::array<Bitmap, 5> bitmaps{};
  for (const ui::Control& c : ui::kControls) {
    if (c.type != ui::ControlType::Image) continue;
    auto picture = picture_for(instance, c, dpi);
    auto bitmap = picture ? dib_section(*picture) : ostrael::Result<UniqueBitmap>(picture.failure());
    if (!bitmap) {
      keep_first(bitmap.failure());
      continue;
    }
    bitmaps[static_cast<std::size_t>(c.picture)] = Bitmap{std::move(*bitmap), picture->width, picture->height};
  }
  bitmaps_ = std::move(bitmaps);
  return first_failure;
}

void Pictures::draw(HDC dc, Asset asset, const RECT& rect) const {
  ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
  const Bitmap& picture = bitmaps_[static_cast<std::size_t>(asset)];
  if (!picture.bitmap) return;
  HDC source = ::CreateCompatibleDC(dc);
  if (!source) return;
  HGDIOBJ old = ::SelectObject(source, picture.bitmap.get());
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::GdiAlphaBlend(dc, rect.left, rect.top, picture.width, picture.height, source, 0, 0, picture.width, picture.height, blend);
  ::SelectObject(source, old);
  ::DeleteDC(source);
}

}  // namespace win32
