// GIF resources into 32-bit DIB sections, drawn with GDI's alpha blending. No image library is
// loaded: at start-up that alone cost more than the rest of the window.
#include "pictures.h"

#include <cstring>
#include <string_view>

#include "failure.h"
#include "resource.h"
#include "ui/gif.h"

namespace win32 {

namespace {

using ostrael::ui::Asset;

int resource_id(Asset asset) {
  switch (asset) {
    case Asset::CloseGif: return IDR_CLOSE_GIF;
    case Asset::MessageGif: return IDR_MESSAGE_GIF;
    case Asset::InfoGif: return IDR_INFO_GIF;
    case Asset::OpenGif: return IDR_OPEN_GIF;
    case Asset::None: break;
  }
  return 0;
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

}  // namespace

ostrael::Status Pictures::load(HINSTANCE instance) {
  ostrael::Status first_failure;
  auto keep_first = [&](const ostrael::Failure& failure) {
    if (first_failure) first_failure = ostrael::Status(failure);
  };
  for (Asset asset : {Asset::CloseGif, Asset::MessageGif, Asset::InfoGif, Asset::OpenGif}) {
    auto bytes = resource_bytes(instance, resource_id(asset));
    if (!bytes) {
      keep_first(bytes.failure());
      continue;
    }
    auto picture = ostrael::ui::decode_gif(*bytes);
    if (!picture) {
      keep_first(picture.failure());
      continue;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture->width;
    info.bmiHeader.biHeight = -picture->height;  // top row first, as decoded
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) {
      keep_first(last_error_failure("CreateDIBSection"));
      continue;
    }
    std::memcpy(bits, picture->pixels.data(), picture->pixels.size() * sizeof picture->pixels[0]);
    bitmaps_[static_cast<std::size_t>(asset)] = Bitmap{std::move(bitmap), picture->width, picture->height};
  }
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
  ::GdiAlphaBlend(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source, 0, 0, picture.width,
                  picture.height, blend);
  ::SelectObject(source, old);
  ::DeleteDC(source);
}

}  // namespace win32
