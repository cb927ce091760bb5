// Laying a picture on a background, and resizing it by area coverage and by bilinear
// interpolation, on premultiplied pixels.
#include "ui/picture.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

#include "ui/gif.h"

namespace ostrael::ui {

namespace {

using Sample = std::array<double, 4>;  // a, r, g, b

Sample unpack(std::uint32_t p) {
  return {double(p >> 24), double(p >> 16 & 0xFF), double(p >> 8 & 0xFF), double(p & 0xFF)};
}

std::uint32_t pack(const Sample& s) {
  auto channel = [](double v) { return static_cast<std::uint32_t>(std::clamp(std::lround(v), 0L, 255L)); };
  // Premultiplied: no colour may exceed its alpha, which rounding alone could make happen.
  std::uint32_t a = channel(s[0]);
  auto colour = [&](double v) { return std::min(channel(v), a); };
  return a << 24 | colour(s[1]) << 16 | colour(s[2]) << 8 | colour(s[3]);
}

// How much of source pixel `i`, of `from` in all, lies under destination pixel `j` of `to`, in
// source pixels; each destination pixel's weights add up to from / to.
double overlap(int i, int j, int from, int to) {
  double lo = std::max(double(i), double(j) * from / to), hi = std::min(double(i + 1), double(j + 1) * from / to);
  return std::max(0.0, hi - lo);
}

Picture shrunk(const Picture& in, int width, int height) {
  Picture out{width, height, std::vector<std::uint32_t>(std::size_t(width) * std::size_t(height))};
  const double area = double(in.width) / width * in.height / height;
  for (int y = 0; y < height; ++y) {
    const int y0 = y * in.height / height, y1 = std::min(in.height, ((y + 1) * in.height + height - 1) / height);
    for (int x = 0; x < width; ++x) {
      const int x0 = x * in.width / width, x1 = std::min(in.width, ((x + 1) * in.width + width - 1) / width);
      Sample sum{};
      for (int sy = y0; sy < y1; ++sy) {
        const double wy = overlap(sy, y, in.height, height);
        for (int sx = x0; sx < x1; ++sx) {
          const double w = wy * overlap(sx, x, in.width, width);
          const Sample s = unpack(in.pixels[std::size_t(sy) * std::size_t(in.width) + std::size_t(sx)]);
          for (std::size_t k = 0; k < 4; ++k) sum[k] += w * s[k];
        }
      }
      for (double& v : sum) v /= area;
      out.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = pack(sum);
    }
  }
  return out;
}

Picture grown(const Picture& in, int width, int height) {
  Picture out{width, height, std::vector<std::uint32_t>(std::size_t(width) * std::size_t(height))};
  auto at = [&](int x, int y) {
    x = std::clamp(x, 0, in.width - 1), y = std::clamp(y, 0, in.height - 1);
    return unpack(in.pixels[std::size_t(y) * std::size_t(in.width) + std::size_t(x)]);
  };
  for (int y = 0; y < height; ++y) {
    const double fy = (y + 0.5) * in.height / height - 0.5;
    const int sy = int(std::floor(fy));
    const double ty = fy - sy;
    for (int x = 0; x < width; ++x) {
      const double fx = (x + 0.5) * in.width / width - 0.5;
      const int sx = int(std::floor(fx));
      const double tx = fx - sx;
      const Sample a = at(sx, sy), b = at(sx + 1, sy), c = at(sx, sy + 1), d = at(sx + 1, sy + 1);
      Sample s{};
      for (std::size_t k = 0; k < 4; ++k)
        s[k] = (a[k] * (1 - tx) + b[k] * tx) * (1 - ty) + (c[k] * (1 - tx) + d[k] * tx) * ty;
      out.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = pack(s);
    }
  }
  return out;
}

}  // namespace

int drawn_size_for(int pixels, std::span<const int> drawn) {
  assert(!drawn.empty() && std::is_sorted(drawn.begin(), drawn.end()));
  auto fit = std::lower_bound(drawn.begin(), drawn.end(), pixels);
  return fit == drawn.end() ? drawn.back() : *fit;
}

PictureSize picture_size(const Control& control, int dpi) {
  const Rect r = client_pixels(control, dpi);
  return {r.width, r.height, drawn_size_for(std::max(r.width, r.height), kPictureSizes)};
}

Point scaled_point(Point at, int drawn, int size) {
  assert(drawn > 0 && size > 0);
  auto scaled = [&](int v) { return std::min((v * size + drawn / 2) / drawn, size - 1); };
  return {scaled(at.x), scaled(at.y)};
}

namespace {

// x / 255 to the nearest whole number, as pixman takes it.
std::uint32_t div255(std::uint32_t x) { return (x + 127) / 255; }

// Each channel of the premultiplied `p` plus `rgb`'s share where it is not covered, or less it
// with `sign` -1.
std::uint32_t with_background(std::uint32_t p, std::uint32_t rgb, int sign) {
  const std::uint32_t a = p >> 24;
  std::uint32_t out = a << 24;
  for (int shift : {16, 8, 0}) {
    const int channel = int(p >> shift & 0xFF) + sign * int(div255((255 - a) * (rgb >> shift & 0xFF)));
    out |= std::uint32_t(std::clamp(channel, 0, sign > 0 ? 255 : int(a))) << shift;
  }
  return out;
}

}  // namespace

Picture without_matte(const Picture& drawn, const Picture& coverage) {
  if (drawn.width != coverage.width || drawn.height != coverage.height || drawn.pixels.size() != coverage.pixels.size()) return {};
  Picture out{drawn.width, drawn.height, std::vector<std::uint32_t>(drawn.pixels.size())};
  for (std::size_t i = 0; i < drawn.pixels.size(); ++i) {
    // A transparent pixel stays so; the art's coverage is 0 there anyway.
    const std::uint32_t a = drawn.pixels[i] >> 24 ? coverage.pixels[i] & 0xFF : 0;
    if (a) out.pixels[i] = with_background(a << 24 | (drawn.pixels[i] & 0xFFFFFF), kMatte, -1);
  }
  return out;
}

Picture laid_on(const Picture& picture, std::uint32_t rgb) {
  Picture out = picture;
  for (std::uint32_t& p : out.pixels) p = with_background(p, rgb, 1) | 0xFF000000;
  return out;
}

Picture resized(const Picture& picture, int width, int height) {
  if (width <= 0 || height <= 0 || picture.width <= 0 || picture.height <= 0) return {};
  if (width == picture.width && height == picture.height) return picture;
  if (width <= picture.width && height <= picture.height) return shrunk(picture, width, height);
  return grown(picture, width, height);
}

Result<Picture> finished_picture(const Control& control, int dpi, const FindBytes& find_bytes) {
  const PictureSize size = picture_size(control, dpi);
  Result<std::string_view> bytes = find_bytes(asset_file(control.picture, size.drawn));
  if (!bytes) return bytes.failure();
  Result<std::string_view> coverage_bytes = find_bytes(coverage_file(control.picture, size.drawn));
  if (!coverage_bytes) return coverage_bytes.failure();
  Result<Picture> drawn = decode_gif(*bytes);
  if (!drawn) return drawn.failure();
  Result<Picture> coverage = decode_gif(*coverage_bytes);
  if (!coverage) return coverage.failure();
  Picture picture = without_matte(*drawn, *coverage);
  if (picture.pixels.empty()) return Failure{"without_matte", 0, "the coverage does not fit the picture"};
  return resized(picture, size.width, size.height);
}

}  // namespace ostrael::ui
