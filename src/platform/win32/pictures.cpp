// GIF decoding and drawing through the GDI+ flat API.
#include "pictures.h"

#include <objbase.h>
#include <gdiplus.h>

#include <cstring>

#include "failure.h"
#include "resource.h"
#include "unique_handle.h"

namespace win32 {

namespace {

using namespace Gdiplus::DllExports;
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

ostrael::Failure gdiplus_failure(std::string_view operation, Gdiplus::GpStatus status) {
  return ostrael::Failure{std::string(operation), static_cast<std::int64_t>(status), "GDI+ status"};
}

ostrael::Result<Gdiplus::GpBitmap*> decode(HINSTANCE instance, int id) {
  HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return last_error_failure("FindResourceW");
  DWORD size = ::SizeofResource(instance, found);
  HGLOBAL loaded = ::LoadResource(instance, found);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes || !size) return last_error_failure("LoadResource");

  // The stream takes the copy; GDI+ reads the GIF from it lazily, so it is decoded into a
  // bitmap of its own below before the stream goes.
  HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return last_error_failure("GlobalAlloc");
  std::memcpy(::GlobalLock(copy), bytes, size);
  ::GlobalUnlock(copy);
  ComPtr<IStream> stream;
  if (HRESULT hr = ::CreateStreamOnHGlobal(copy, TRUE, stream.put()); FAILED(hr)) {
    ::GlobalFree(copy);
    return hresult_failure("CreateStreamOnHGlobal", hr);
  }

  Gdiplus::GpBitmap* gif = nullptr;
  if (auto status = GdipCreateBitmapFromStream(stream.get(), &gif); status != Gdiplus::Ok)
    return gdiplus_failure("GdipCreateBitmapFromStream", status);
  UINT width = 0, height = 0;
  GdipGetImageWidth(gif, &width);
  GdipGetImageHeight(gif, &height);
  Gdiplus::GpBitmap* decoded = nullptr;
  auto status = GdipCloneBitmapAreaI(0, 0, static_cast<INT>(width), static_cast<INT>(height), PixelFormat32bppPARGB, gif, &decoded);
  GdipDisposeImage(gif);
  if (status != Gdiplus::Ok) return gdiplus_failure("GdipCloneBitmapAreaI", status);
  return decoded;
}

}  // namespace

Pictures::~Pictures() {
  for (void* image : images_)
    if (image) GdipDisposeImage(static_cast<Gdiplus::GpImage*>(image));
  if (token_) Gdiplus::GdiplusShutdown(token_);
}

ostrael::Status Pictures::load(HINSTANCE instance) {
  Gdiplus::GdiplusStartupInput input;
  if (auto status = Gdiplus::GdiplusStartup(&token_, &input, nullptr); status != Gdiplus::Ok)
    return gdiplus_failure("GdiplusStartup", status);
  ostrael::Status first_failure;
  for (Asset asset : {Asset::CloseGif, Asset::MessageGif, Asset::InfoGif, Asset::OpenGif}) {
    auto image = decode(instance, resource_id(asset));
    if (image)
      images_[static_cast<std::size_t>(asset)] = *image;
    else if (first_failure)
      first_failure = ostrael::Status(image.failure());
  }
  return first_failure;
}

void Pictures::draw(HDC dc, Asset asset, const RECT& rect) const {
  ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
  auto* image = static_cast<Gdiplus::GpImage*>(images_[static_cast<std::size_t>(asset)]);
  if (!image) return;
  Gdiplus::GpGraphics* graphics = nullptr;
  if (GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok) return;
  UINT width = 0, height = 0;
  GdipGetImageWidth(image, &width);
  GdipGetImageHeight(image, &height);
  int w = rect.right - rect.left, h = rect.bottom - rect.top;
  bool same_size = static_cast<int>(width) == w && static_cast<int>(height) == h;
  // At 96 dpi the picture is copied pixel for pixel; at other dpi it is resampled smoothly.
  GdipSetInterpolationMode(graphics, same_size ? Gdiplus::InterpolationModeNearestNeighbor
                                               : Gdiplus::InterpolationModeHighQualityBicubic);
  GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHalf);
  GdipDrawImageRectI(graphics, image, rect.left, rect.top, w, h);
  GdipDeleteGraphics(graphics);
}

}  // namespace win32
