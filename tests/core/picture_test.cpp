// Choosing the drawing for a screen's scale, and resizing it without losing or shifting ink.
#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

#include "ui/layout.h"
#include "ui/picture.h"

namespace ostrael::ui {
namespace {

TEST(DrawnSize, ExactElseNextLargerElseLargest) {
  // 96, 110, 120, 144, 168, 192, 216, 288 and 384 dpi give pictures of these sizes.
  const std::pair<int, int> cases[] = {{48, 48}, {55, 60}, {60, 60}, {72, 72}, {84, 96},
                                       {96, 96}, {108, 144}, {144, 144}, {192, 144}, {1, 48}};
  for (auto [pixels, drawn] : cases) EXPECT_EQ(drawn_size_for(pixels, kPictureSizes), drawn) << pixels;
  EXPECT_EQ(drawn_size_for(37, kCursorSizes), 40);
  EXPECT_EQ(asset_file(Asset::CloseGif, 48), "close.gif");
  EXPECT_EQ(asset_file(Asset::MessageGif, 144), "message-144.gif");
  EXPECT_EQ(coverage_file(Asset::MessageGif, 48), "message-coverage.gif");
  EXPECT_EQ(coverage_file(Asset::OpenGif, 96), "open-96-coverage.gif");
}

// GTK's scale s is 96 s dpi to both backends: one size, one drawing, one hot spot for each.
TEST(DrawnSize, PictureAndHotSpotAtAScaleAreWorkedOutOnce) {
  const Control& close = control(ControlId::Image1);
  const std::tuple<int, int, int> cases[] = {{96, 48, 48}, {108, 54, 60}, {144, 72, 72}, {192, 96, 96}, {288, 144, 144}, {384, 192, 144}};
  for (auto [dpi, side, drawn] : cases) {
    const PictureSize size = picture_size(close, dpi);
    EXPECT_EQ(size.width, side) << dpi;
    EXPECT_EQ(size.height, side) << dpi;
    EXPECT_EQ(size.drawn, drawn) << dpi;
  }
  // The 96 px hand's fingertip on the 128 px hand of scale 4: rounded, not cut, and kept inside.
  EXPECT_EQ(scaled_point({16, 0}, 96, 128).x, 21);
  EXPECT_EQ(scaled_point({95, 3}, 96, 32).x, 31);
}

// Opaque white and transparent pixels in stripes `period` wide, premultiplied.
Picture stripes(int size, int period) {
  Picture p{size, size, {}};
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) p.pixels.push_back(x / period % 2 ? 0u : 0xFFFFFFFFu);
  return p;
}

double total_alpha(const Picture& p) {
  return std::accumulate(p.pixels.begin(), p.pixels.end(), 0.0, [](double sum, std::uint32_t px) { return sum + (px >> 24); });
}

TEST(Resized, ShrinkingKeepsTheInkOfEveryLineAndStaysPremultiplied) {
  // 96 to 60 and 144 to 108: a one-pixel line must neither vanish nor double.
  for (auto [from, to] : {std::pair{96, 60}, {144, 108}, {144, 84}, {4, 2}}) {
    const Picture in = stripes(from, 1);
    const Picture out = resized(in, to, to);
    ASSERT_EQ(out.pixels.size(), std::size_t(to) * std::size_t(to));
    const double scale = double(to) * to / (double(from) * from);
    EXPECT_NEAR(total_alpha(out), total_alpha(in) * scale, to * to * 0.5) << from << " to " << to;
    for (std::size_t i = 0; i < out.pixels.size(); ++i) {
      const std::uint32_t px = out.pixels[i], a = px >> 24;
      ASSERT_LE(px >> 16 & 0xFF, a);
      ASSERT_LE(px & 0xFF, a);
      // Two neighbours cover more than two source pixels, so one whole white line and its share
      // of ink, where picking pixels would give none or two.
      if (i % std::size_t(to) == 0) continue;
      const std::uint32_t pair = a + (out.pixels[i - 1] >> 24);
      ASSERT_GE(pair, 178u) << "a line was dropped at " << i;
      ASSERT_LE(pair, 332u) << "a line was doubled at " << i;
    }
  }
  EXPECT_EQ(resized(stripes(4, 2), 2, 2).pixels, (std::vector<std::uint32_t>{0xFFFFFFFF, 0, 0xFFFFFFFF, 0}));
}

TEST(Resized, GrowingTheLargestDrawingIsSmoothAndKeepsFlatAreasFlat) {
  const Picture flat{2, 2, std::vector<std::uint32_t>(4, 0xFF336699u)};
  for (std::uint32_t px : resized(flat, 5, 5).pixels) EXPECT_EQ(px, 0xFF336699u);
  const Picture edge = resized(stripes(2, 1), 8, 1);  // white, then transparent
  EXPECT_EQ(edge.pixels.front(), 0xFFFFFFFFu);
  EXPECT_EQ(edge.pixels.back(), 0u);
  EXPECT_GT(edge.pixels[4] >> 24, 0u);
  EXPECT_LT(edge.pixels[3] >> 24, 255u);
  EXPECT_TRUE(resized(flat, 0, 3).pixels.empty());
}

// Red ink covering 128/255 of an edge pixel, drawn on the grey: the art holds 0xF87878 there (128
// of red plus 127/255 of the grey's 240, to the nearest) and the coverage 128. Without the grey and
// laid on black it is half red, 0x800000; an inside pixel stays as drawn, a transparent one black.
TEST(WithoutMatte, AnEdgePixelLaidOnBlackKeepsOnlyItsInk) {
  const Picture drawn{3, 1, {0xFFF87878, 0xFFFF0000, 0x00000000}};
  const Picture coverage{3, 1, {0xFF808080, 0xFFFFFFFF, 0xFF000000}};
  EXPECT_EQ(laid_on(without_matte(drawn, coverage), 0x000000).pixels,
            (std::vector<std::uint32_t>{0xFF800000, 0xFFFF0000, 0xFF000000}));
}

}  // namespace
}  // namespace ostrael::ui
