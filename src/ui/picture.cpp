// Resizing by area coverage and by bilinear interpolation, on premultiplied pixels.
#include "ui/picture.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

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

Picture resized(const Picture& picture, int width, int height) {
  if (width <= 0 || height <= 0 || picture.width <= 0 || picture.height <= 0) return {};
  if (width == picture.width && height == picture.height) return picture;
  if (width <= picture.width && height <= picture.height) return shrunk(picture, width, height);
  return grown(picture, width, height);
}

}  // namespace ostrael::ui
