// GIF resources and their coverage into premultiplied pictures, laid on the button face colour in
// 32-bit DIB sections, and the hand cursor, both made for one dpi. No image library is loaded: at
// start-up that alone cost more than the rest of the window.
#include "pictures.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "failure.h"
#include "resource.h"
#include "system_library.h"

namespace win32 {

namespace {

namespace ui = ostrael::ui;
using ui::Asset;

// The resource ostrael.rc makes of the picture file `file`; 0 for none.
int resource_id(std::string_view file) {
  for (auto [asset, id] : {std::pair{Asset::CloseGif, IDR_CLOSE_GIF}, std::pair{Asset::MessageGif, IDR_MESSAGE_GIF},
                           std::pair{Asset::InfoGif, IDR_INFO_GIF}, std::pair{Asset::OpenGif, IDR_OPEN_GIF}}) {
    for (int size : ui::kPictureSizes) {
      if (file == ui::asset_file(asset, size)) return id;
      if (file == ui::coverage_file(asset, size)) return id + IDR_COVERAGE;
      id += IDR_SIZE_STEP;
    }
  }
  return 0;
}

ostrael::Result<std::string_view> resource_bytes(HINSTANCE instance, std::string_view file) {
  const int id = resource_id(file);
  if (!id) return ostrael::Failure{"FindResourceW", ERROR_RESOURCE_NAME_NOT_FOUND, std::string(file) + " is not a resource"};
  HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return last_error_failure("FindResourceW");
  DWORD size = ::SizeofResource(instance, found);
  HGLOBAL loaded = ::LoadResource(instance, found);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes || !size) return last_error_failure("LoadResource");
  return std::string_view(static_cast<const char*>(bytes), size);
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

// The size Windows gives a cursor at `dpi`. Systems before per-monitor dpi have one cursor size,
// for the system dpi.
int cursor_size(int dpi) {
  static auto for_dpi = user32_function<decltype(&::GetSystemMetricsForDpi)>("GetSystemMetricsForDpi");
  if (for_dpi)
    if (int size = for_dpi(SM_CXCURSOR, static_cast<UINT>(dpi)); size > 0) return size;
  if (int size = ::GetSystemMetrics(SM_CXCURSOR); size > 0) return size;
  return ::MulDiv(ui::kCursorSizes.front(), dpi, ui::kDesignDpi);
}

// A 1-bpp cursor's pixels: its mask bitmap holds the AND mask over the XOR mask.
ostrael::Result<ui::Picture> monochrome_pixels(HBITMAP mask, int size) {
  BITMAPINFO info = top_down_32bpp(size, 2 * size);
  std::vector<std::uint32_t> bits(std::size_t(size) * std::size_t(size) * 2);
  HDC screen = ::GetDC(nullptr);
  int rows = ::GetDIBits(screen, mask, 0, static_cast<UINT>(2 * size), bits.data(), &info, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  if (rows != 2 * size) return last_error_failure("GetDIBits");
  ui::Picture picture{size, size, std::vector<std::uint32_t>(bits.size() / 2)};
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    std::uint32_t and_bit = bits[i] & 0xFFFFFF, xor_colour = bits[i + picture.pixels.size()] & 0xFFFFFF;
    // A pixel that inverts the screen has no colour of its own; over the light face it shows dark.
    picture.pixels[i] = !and_bit ? 0xFF000000 | xor_colour : xor_colour ? 0xFF000000 : 0;
  }
  return picture;
}

// An alpha cursor of `picture`, whose colour CreateIconIndirect takes unpremultiplied, as a
// cursor file holds it.
ostrael::Result<UniqueIcon> alpha_cursor(ui::Picture picture, POINT hot_spot) {
  int stride = (picture.width + 15) / 16 * 2;  // a monochrome bitmap's rows are whole words
  std::vector<BYTE> transparent(std::size_t(stride) * std::size_t(picture.height));
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      std::uint32_t& p = picture.pixels[std::size_t(y) * std::size_t(picture.width) + std::size_t(x)];
      std::uint32_t a = p >> 24;
      if (!a) transparent[std::size_t(y * stride + x / 8)] |= static_cast<BYTE>(0x80 >> (x % 8));
      auto straight = [&](int shift) { return ((p >> shift & 0xFF) * 255 + a / 2) / std::max(a, 1u) << shift; };
      p = a << 24 | straight(16) | straight(8) | straight(0);
    }
  ASSIGN_OR_FORWARD(UniqueBitmap colour, dib_section(picture));
  UniqueBitmap mask(::CreateBitmap(picture.width, picture.height, 1, 1, transparent.data()));
  if (!mask) return last_error_failure("CreateBitmap");
  ICONINFO info{FALSE, static_cast<DWORD>(hot_spot.x), static_cast<DWORD>(hot_spot.y), mask.get(), colour.get()};
  UniqueIcon cursor(::CreateIconIndirect(&info));
  if (!cursor) return last_error_failure("CreateIconIndirect");
  return cursor;
}

}  // namespace

std::uint32_t face_rgb(COLORREF colour) {
  return std::uint32_t{GetRValue(colour)} << 16 | std::uint32_t{GetGValue(colour)} << 8 | GetBValue(colour);
}

ostrael::Result<Hand> hand_cursor(HINSTANCE instance, int size) {
  int drawn = ui::drawn_size_for(size, ui::kCursorSizes);
  UniqueCursor cursor(static_cast<HCURSOR>(::LoadImageW(instance, MAKEINTRESOURCEW(IDC_HAND_POINTER), IMAGE_CURSOR, drawn, drawn, 0)));
  if (!cursor) return last_error_failure("LoadImageW");
  if (drawn == size) return Hand{std::move(cursor), {}};
  ICONINFO info{};
  if (!::GetIconInfo(cursor.get(), &info)) return last_error_failure("GetIconInfo");
  UniqueBitmap mask(info.hbmMask), colour(info.hbmColor);
  if (colour) return ostrael::Failure{"GetIconInfo", 0, "the hand is not a monochrome cursor"};
  ASSIGN_OR_FORWARD(ui::Picture pixels, monochrome_pixels(mask.get(), drawn));
  ui::Point hot = ui::scaled_point({static_cast<int>(info.xHotspot), static_cast<int>(info.yHotspot)}, drawn, size);
  ASSIGN_OR_FORWARD(UniqueIcon made, alpha_cursor(ui::resized(pixels, size, size), {hot.x, hot.y}));
  return Hand{{}, std::move(made)};
}

ostrael::Status Pictures::load(HINSTANCE instance, int dpi) {
  Pictures next;
  ostrael::Status first_failure;
  auto keep_first = [&](const ostrael::Failure& failure) {
    if (first_failure) first_failure = ostrael::Status(failure);
  };
  auto find_bytes = [instance](std::string_view file) { return resource_bytes(instance, file); };
  for (const ui::Control& c : ui::kControls) {
    if (c.type != ui::ControlType::Image) continue;
    if (auto picture = ui::finished_picture(c, dpi, find_bytes))
      next.pictures_[static_cast<std::size_t>(c.picture)] = std::move(*picture);
    else
      keep_first(picture.failure());
  }
  if (auto laid = next.lay_on_face(); !laid) keep_first(laid.failure());
  if (auto hand = hand_cursor(instance, cursor_size(dpi)))
    next.hand_ = std::move(*hand);
  else
    keep_first(hand.failure());
  *this = std::move(next);
  return first_failure;
}

Pictures& Pictures::operator=(Pictures&& next) noexcept {
  // The pointer may rest on a picture: it takes the new hand before the old one is destroyed.
  if (hand_.get() && ::GetCursor() == hand_.get()) ::SetCursor(next.hand_.get() ? next.hand_.get() : ::LoadCursorW(nullptr, IDC_ARROW));
  pictures_ = std::move(next.pictures_);
  face_ = next.face_;
  bitmaps_ = std::move(next.bitmaps_);
  hand_ = std::move(next.hand_);
  return *this;
}

// Laid on the face colour here, once, rather than blended at each paint: the sum is then exactly
// the one the art was checked with, and on the usual grey each pixel is the drawn one.
ostrael::Status Pictures::lay_on_face() {
  face_ = face_rgb();
  ostrael::Status first_failure;
  std::array<Bitmap, 5> bitmaps{};
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    if (pictures_[i].pixels.empty()) continue;
    auto bitmap = dib_section(ui::laid_on(pictures_[i], face_));
    if (bitmap)
      bitmaps[i] = Bitmap{std::move(*bitmap), pictures_[i].width, pictures_[i].height};
    else if (first_failure)
      first_failure = ostrael::Status(bitmap.failure());
  }
  bitmaps_ = std::move(bitmaps);
  return first_failure;
}

bool Pictures::follow_face_colour() {
  if (face_rgb() == face_) return false;
  // What fails is drawn as nothing, as at the start.
  (void)lay_on_face();
  return true;
}

void Pictures::draw(HDC dc, Asset asset, const RECT& rect) const {
  const Bitmap& picture = bitmaps_[static_cast<std::size_t>(asset)];
  HDC source = picture.bitmap ? ::CreateCompatibleDC(dc) : nullptr;
  if (!source) {
    ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
    return;
  }
  // The bitmap is opaque and the control's size: it covers the whole of `rect` by itself.
  HGDIOBJ old = ::SelectObject(source, picture.bitmap.get());
  ::BitBlt(dc, rect.left, rect.top, picture.width, picture.height, source, 0, 0, SRCCOPY);
  ::SelectObject(source, old);
  ::DeleteDC(source);
}

}  // namespace win32
