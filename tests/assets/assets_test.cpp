// The committed window assets, checked from their own bytes: the four button pictures,
// the hand cursor and the window icon.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "ui/gif.h"
#include "ui/layout.h"
#include "ui/picture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes read_asset(const std::string& name) {
  Bytes data;
  const std::string path = std::string(OSTRAEL_ASSETS_DIR) + "/" + name;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::uint8_t buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) data.insert(data.end(), buf, buf + n);
    std::fclose(f);
  }
  return data;
}

// Little-endian reads that give 0 past the end, so a truncated file fails the checks instead of the test.
unsigned u8(const Bytes& b, std::size_t at) { return at < b.size() ? b[at] : 0; }
unsigned u16(const Bytes& b, std::size_t at) { return u8(b, at) | u8(b, at + 1) << 8; }
std::uint32_t u32(const Bytes& b, std::size_t at) { return u16(b, at) | std::uint32_t{u16(b, at + 2)} << 16; }

// ------------------------------------------------------------------ GIF

// The LZW stream of one GIF image; empty when the stream is malformed.
Bytes lzw_decode(const Bytes& in, unsigned min_size) {
  constexpr unsigned kNone = 4096;
  const unsigned clear = 1u << min_size, end = clear + 1;
  std::vector<unsigned> prefix(4096, kNone);
  std::vector<std::uint8_t> last(4096), head(4096);
  for (unsigned i = 0; i < clear; ++i) last[i] = head[i] = static_cast<std::uint8_t>(i);
  Bytes out;
  unsigned width = min_size + 1, next = end + 1, prev = kNone;
  std::size_t bit = 0;
  while (bit + width <= in.size() * 8) {
    unsigned code = 0;
    for (unsigned i = 0; i < width; ++i, ++bit) code |= ((in[bit / 8] >> (bit % 8)) & 1u) << i;
    if (code == clear) {
      width = min_size + 1, next = end + 1, prev = kNone;
      continue;
    }
    if (code == end) return out;
    if (prev == kNone ? code > clear : code > next || code >= 4096) return {};
    if (prev != kNone && next < 4096) {
      prefix[next] = prev;
      last[next] = code < next ? head[code] : head[prev];
      head[next] = head[prev];
      ++next;
    }
    const std::size_t start = out.size();
    for (unsigned c = code; c != kNone; c = prefix[c]) out.push_back(last[c]);
    std::reverse(out.begin() + static_cast<std::ptrdiff_t>(start), out.end());
    prev = code;
    if (next == (1u << width) && width < 12) ++width;
  }
  return {};  // no end code
}

struct Gif {
  std::string signature;
  unsigned width = 0, height = 0, palette_size = 0;
  int frames = 0;
  int transparent_entries = 0;  // Graphic Control Extensions that set a transparent index
  int transparent = -1;
  unsigned frame_width = 0, frame_height = 0;
  Bytes pixels;  // the first frame's palette indices, top row first
  bool well_formed = false;  // ended with the trailer and nothing ran past the end
};

// Skips data sub-blocks from `at`, appending their bytes to `out` when given; returns the position after them.
std::size_t sub_blocks(const Bytes& b, std::size_t at, Bytes* out) {
  while (at < b.size() && b[at] != 0) {
    const std::size_t n = b[at];
    if (out && at + 1 + n <= b.size()) out->insert(out->end(), b.begin() + at + 1, b.begin() + at + 1 + n);
    at += 1 + n;
  }
  return at + 1;
}

Gif parse_gif(const Bytes& b) {
  Gif g;
  if (b.size() < 13) return g;
  g.signature.assign(b.begin(), b.begin() + 6);
  g.width = u16(b, 6);
  g.height = u16(b, 8);
  const unsigned flags = b[10];
  std::size_t at = 13;
  if (flags & 0x80) {
    g.palette_size = 2u << (flags & 7);
    at += 3 * g.palette_size;
  }
  while (at < b.size()) {
    const unsigned kind = b[at];
    if (kind == 0x3B) {
      g.well_formed = true;
      break;
    }
    if (kind == 0x21) {
      if (u8(b, at + 1) == 0xF9 && u8(b, at + 2) == 4 && (u8(b, at + 3) & 1)) {
        ++g.transparent_entries;
        g.transparent = static_cast<int>(u8(b, at + 6));
      }
      at = sub_blocks(b, at + 2, nullptr);
    } else if (kind == 0x2C) {
      const unsigned image_flags = u8(b, at + 9);
      const std::size_t data = at + 10 + ((image_flags & 0x80) ? 3 * (2u << (image_flags & 7)) : 0);
      if (++g.frames == 1) {
        g.frame_width = u16(b, at + 5);
        g.frame_height = u16(b, at + 7);
      }
      Bytes lzw;
      at = sub_blocks(b, data + 1, &lzw);
      if (g.frames == 1) g.pixels = lzw_decode(lzw, u8(b, data));
    } else {
      break;
    }
  }
  return g;
}

struct Button {
  std::string file;
  unsigned size, palette_size;
};
void PrintTo(const Button& button, std::ostream* os) { *os << button.file; }

// Every picture at every size the window draws it at, the 48 px ones for 100 % first.
std::vector<Button> all_buttons() {
  using ostrael::ui::Asset;
  std::vector<Button> buttons;
  for (int size : ostrael::ui::kPictureSizes)
    for (auto [asset, palette] : {std::pair{Asset::CloseGif, 256u}, {Asset::MessageGif, 128u}, {Asset::InfoGif, 256u}, {Asset::OpenGif, 256u}})
      buttons.push_back({ostrael::ui::asset_file(asset, size), static_cast<unsigned>(size), palette});
  return buttons;
}
const std::vector<Button> kButtons = all_buttons();

class GifAsset : public testing::TestWithParam<Button> {
 protected:
  const unsigned size = GetParam().size;
  Gif gif = parse_gif(read_asset(GetParam().file));
};

TEST_P(GifAsset, IsOneFrameOfItsSizeInGif89a) {
  EXPECT_EQ(gif.signature, "GIF89a");
  EXPECT_TRUE(gif.well_formed);
  EXPECT_EQ(gif.width, size);
  EXPECT_EQ(gif.height, size);
  EXPECT_EQ(gif.frames, 1);
  EXPECT_EQ(gif.frame_width, size);
  EXPECT_EQ(gif.frame_height, size);
}

TEST_P(GifAsset, HasItsGlobalPaletteSize) { EXPECT_EQ(gif.palette_size, GetParam().palette_size); }

TEST_P(GifAsset, SetsExactlyOneTransparentIndex) {
  EXPECT_EQ(gif.transparent_entries, 1);
  EXPECT_GE(gif.transparent, 0);
  EXPECT_LT(gif.transparent, static_cast<int>(gif.palette_size));
}

TEST_P(GifAsset, CornersAreTransparent) {
  ASSERT_EQ(gif.pixels.size(), size * size) << "the picture's data does not decode to its size";
  for (std::size_t at : {0u, size - 1, (size - 1) * size, size * size - 1}) EXPECT_EQ(gif.pixels[at], gif.transparent) << "pixel " << at;
}

TEST_P(GifAsset, MotifFillsTheMiddleWithPaletteColours) {
  ASSERT_EQ(gif.pixels.size(), size * size);
  const auto opaque = std::count_if(gif.pixels.begin(), gif.pixels.end(), [&](std::uint8_t p) { return p != gif.transparent; });
  EXPECT_GT(opaque, size * size / 3);
  EXPECT_NE(gif.pixels[size / 2 * size + size / 2], gif.transparent);
  EXPECT_LT(*std::max_element(gif.pixels.begin(), gif.pixels.end()), gif.palette_size);
}

// The program's own decoder gives each pixel its palette colour, and nothing where the picture
// is transparent.
TEST_P(GifAsset, TheProgramsDecoderAgreesPixelForPixel) {
  Bytes bytes = read_asset(GetParam().file);
  auto picture = ostrael::ui::decode_gif(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->width, static_cast<int>(size));
  ASSERT_EQ(picture->height, static_cast<int>(size));
  ASSERT_EQ(gif.pixels.size(), picture->pixels.size());
  for (std::size_t i = 0; i < gif.pixels.size(); ++i) {
    unsigned index = gif.pixels[i];
    std::uint32_t expected = index == static_cast<unsigned>(gif.transparent)
                                 ? 0u
                                 : 0xFF000000u | u8(bytes, 13 + 3 * index) << 16 | u8(bytes, 14 + 3 * index) << 8 |
                                       u8(bytes, 15 + 3 * index);
    ASSERT_EQ(picture->pixels[i], expected) << "pixel " << i;
  }
}

// The coverage beside the picture: a 64-grey GIF of the same size, 0 just where the picture is
// transparent, soft along the edges, and with each colour such that the grey comes off it whole
// (no channel below 0 or above the coverage): on the grey the two give the picture as drawn.
TEST_P(GifAsset, ItsCoverageTakesTheGreyOffWhole) {
  namespace ui = ostrael::ui;
  const std::string file = GetParam().file;
  const Bytes bytes = read_asset(file.substr(0, file.rfind('.')) + "-coverage.gif");
  const Gif coverage = parse_gif(bytes);
  EXPECT_TRUE(coverage.well_formed && coverage.frames == 1);
  EXPECT_EQ(coverage.palette_size, 64u);
  EXPECT_EQ(coverage.transparent_entries, 0);
  ASSERT_EQ(coverage.pixels.size(), gif.pixels.size());
  const Bytes drawn_bytes = read_asset(file);
  auto drawn = ui::decode_gif(std::string_view(reinterpret_cast<const char*>(drawn_bytes.data()), drawn_bytes.size()));
  auto levels = ui::decode_gif(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  ASSERT_TRUE(drawn && levels);
  unsigned soft = 0;
  for (std::size_t i = 0; i < gif.pixels.size(); ++i) {
    const std::uint32_t a = levels->pixels[i] & 0xFF;
    ASSERT_EQ(a == 0, gif.pixels[i] == gif.transparent) << "pixel " << i;
    soft += a > 0 && a < 255;
  }
  EXPECT_GT(soft, size / 4) << "the edges are not soft";
  // A colour the grey does not come off whole would be clamped, and differ here.
  const std::vector<std::uint32_t> on_grey = ui::laid_on(ui::without_matte(*drawn, *levels), ui::kMatte).pixels;
  ASSERT_EQ(on_grey.size(), drawn->pixels.size());
  for (std::size_t i = 0; i < on_grey.size(); ++i)
    ASSERT_EQ(on_grey[i], drawn->pixels[i] >> 24 ? drawn->pixels[i] : 0xFFF0F0F0u) << "pixel " << i;
}

// Cut short or scrambled, a picture is refused or decoded, never read out of bounds.
TEST_P(GifAsset, TheProgramsDecoderRefusesDamagedFiles) {
  Bytes bytes = read_asset(GetParam().file);
  std::string whole(bytes.begin(), bytes.end());
  for (std::size_t n = 0; n + 1 < whole.size(); ++n) EXPECT_FALSE(ostrael::ui::decode_gif(std::string_view(whole).substr(0, n))) << n;
  std::uint32_t seed = 12345;
  for (int round = 0; round < 300; ++round) {
    std::string damaged = whole;
    for (int k = 0; k < 4; ++k) {
      seed = seed * 1664525u + 1013904223u;
      damaged[seed % damaged.size()] = static_cast<char>(seed >> 24);
    }
    auto picture = ostrael::ui::decode_gif(damaged);
    if (picture) {
      EXPECT_EQ(picture->pixels.size(), static_cast<std::size_t>(picture->width) * static_cast<std::size_t>(picture->height));
    }
  }
}

// The picture as it shows on the window's grey, 0xAARRGGBB with the alpha kept; empty if it does not decode.
std::vector<std::uint32_t> on_window(const std::string& file) {
  Bytes bytes = read_asset(file);
  auto picture = ostrael::ui::decode_gif(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  std::vector<std::uint32_t> out;
  for (std::uint32_t p : picture ? picture->pixels : std::vector<std::uint32_t>{}) out.push_back(p >> 24 ? p : 0xF0F0F0u);
  return out;
}

// The mean of each k x k block of a picture, channel by channel, and 1 where any of the block is opaque.
std::vector<std::array<double, 4>> block_means(const std::vector<std::uint32_t>& px, unsigned size, unsigned k) {
  std::vector<std::array<double, 4>> out(size / k * (size / k));
  for (unsigned i = 0; i < px.size(); ++i) {
    auto& block = out[i / size / k * (size / k) + i % size / k];
    for (int c = 0; c < 3; ++c) block[c] += (px[i] >> 8 * c & 0xFF) / double(k * k);
    block[3] = std::max(block[3], px[i] >> 24 ? 1.0 : 0.0);
  }
  return out;
}

class LargerGif : public GifAsset {};

// Drawn at its size from the 48 px picture's shapes: no nearest-neighbour enlargement of it (the drawn
// ones differ from that in 39 % of their pixels or more), yet the same picture. Averaged down by whole
// blocks to the grid both share (12 px for 60, 24 for 72, 48 above), which blurs nothing, they differ
// by 2.5 of 255 at most; fills, outlines or highlights placed in the wrong units give 4 and more.
TEST_P(LargerGif, IsDrawnAtItsSizeFromTheSameShapes) {
  const std::string file = GetParam().file, base = file.substr(0, file.find('-')) + ".gif";
  const auto big = on_window(file), small = on_window(base);
  ASSERT_EQ(big.size(), size * size);
  ASSERT_EQ(small.size(), 48u * 48u);
  unsigned differ = 0;
  for (unsigned i = 0; i < big.size(); ++i) differ += big[i] != small[i / size * 48 / size * 48 + i % size * 48 / size];
  EXPECT_GT(differ * 10, size * size) << "hardly more than " << base << " enlarged";
  const unsigned grid = std::gcd(48u, size);
  const auto a = block_means(big, size, size / grid), b = block_means(small, 48, 48 / grid);
  double difference = 0, opaque = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    opaque += b[i][3];
    difference += b[i][3] * (std::abs(a[i][0] - b[i][0]) + std::abs(a[i][1] - b[i][1]) + std::abs(a[i][2] - b[i][2])) / 3;
  }
  EXPECT_LT(difference / opaque, 3.5) << "not the picture " << base << " shows";
}

std::string param_name(const testing::TestParamInfo<Button>& param) {
  std::string name = param.param.file.substr(0, param.param.file.find('.'));
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}
INSTANTIATE_TEST_SUITE_P(Buttons, GifAsset, testing::ValuesIn(kButtons), param_name);
INSTANTIATE_TEST_SUITE_P(Buttons, LargerGif, testing::ValuesIn(kButtons.begin() + 4, kButtons.end()), param_name);

// ------------------------------------------------------------------ .ico and .cur

struct Entry {
  unsigned width, height, colours, planes_or_x, bits_or_y;
  std::uint32_t bytes, offset;
};

struct IconFile {
  unsigned reserved, type, count;
  std::vector<Entry> entries;
};

IconFile parse_directory(const Bytes& b) {
  IconFile f{u16(b, 0), u16(b, 2), u16(b, 4), {}};
  for (unsigned i = 0; i < f.count && 6 + 16 * (i + 1) <= b.size(); ++i) {
    const std::size_t at = 6 + 16 * i;
    f.entries.push_back({u8(b, at), u8(b, at + 1), u8(b, at + 2), u16(b, at + 4), u16(b, at + 6), u32(b, at + 8),
                         u32(b, at + 12)});
  }
  return f;
}

std::size_t row_bytes(std::size_t bits) { return (bits + 31) / 32 * 4; }

// Bytes a DIB image of this size and depth takes in the file: header, colours, colour bits, mask.
std::size_t dib_bytes(std::size_t size, unsigned bpp) {
  return 40 + (bpp <= 8 ? 4u << bpp : 0) + (row_bytes(size * bpp) + row_bytes(size)) * size;
}

// Whether the mask lets the screen show through at (x, y), y counted from the top.
bool masked(const Bytes& b, const Entry& e, std::size_t size, unsigned bpp, std::size_t x, std::size_t y) {
  const std::size_t mask = e.offset + dib_bytes(size, bpp) - row_bytes(size) * size;
  return (u8(b, mask + (size - 1 - y) * row_bytes(size) + x / 8) >> (7 - x % 8)) & 1;
}

// Checks that an entry holds a BITMAPINFOHEADER image of this size and depth that fits inside the file.
void expect_dib(const Bytes& b, const Entry& e, unsigned size, unsigned bpp) {
  EXPECT_EQ(e.width, size);
  EXPECT_EQ(e.height, size);
  EXPECT_EQ(e.bytes, dib_bytes(size, bpp));
  EXPECT_LE(std::size_t{e.offset} + e.bytes, b.size());
  EXPECT_EQ(u32(b, e.offset), 40u) << "not a BITMAPINFOHEADER image (PNG entries upset older loaders)";
  EXPECT_EQ(u32(b, e.offset + 4), size);
  EXPECT_EQ(u32(b, e.offset + 8), 2 * size) << "height counts the colour bits and the mask";
  EXPECT_EQ(u16(b, e.offset + 12), 1u);
  EXPECT_EQ(u16(b, e.offset + 14), bpp);
  EXPECT_EQ(u32(b, e.offset + 16), 0u) << "compressed";
}

struct IconImage {
  unsigned size, bpp;
};
constexpr IconImage kIconOrder[] = {{16, 4}, {16, 8}, {32, 4}, {32, 8}, {48, 4}, {48, 8}, {16, 32}, {32, 32}, {48, 32}};

TEST(IconAsset, HoldsTheNineImagesInOrder) {
  const Bytes b = read_asset("ostrael.ico");
  const IconFile f = parse_directory(b);
  EXPECT_EQ(f.reserved, 0u);
  EXPECT_EQ(f.type, 1u);
  ASSERT_EQ(f.entries.size(), std::size(kIconOrder));
  std::uint32_t expected_offset = 6 + 16 * 9;
  for (std::size_t i = 0; i < f.entries.size(); ++i) {
    SCOPED_TRACE("image " + std::to_string(i + 1));
    const Entry& e = f.entries[i];
    const auto [size, bpp] = kIconOrder[i];
    expect_dib(b, e, size, bpp);
    EXPECT_EQ(e.colours, bpp == 4 ? 16u : 0u);
    EXPECT_EQ(e.planes_or_x, 1u);
    EXPECT_EQ(e.bits_or_y, bpp);
    EXPECT_EQ(e.offset, expected_offset) << "images overlap or leave gaps";
    expected_offset = e.offset + e.bytes;
  }
  EXPECT_EQ(expected_offset, b.size());
}

TEST(IconAsset, EveryImageIsClearAtTheCornersAndSolidInTheMiddle) {
  const Bytes b = read_asset("ostrael.ico");
  const IconFile f = parse_directory(b);
  ASSERT_EQ(f.entries.size(), std::size(kIconOrder));
  for (std::size_t i = 0; i < f.entries.size(); ++i) {
    SCOPED_TRACE("image " + std::to_string(i + 1));
    const auto [size, bpp] = kIconOrder[i];
    const std::size_t m = size - 1, c = size / 2;
    for (auto [x, y] : {std::pair{std::size_t{0}, std::size_t{0}}, {m, 0}, {0, m}, {m, m}}) {
      EXPECT_TRUE(masked(b, f.entries[i], size, bpp, x, y)) << x << "," << y;
    }
    EXPECT_FALSE(masked(b, f.entries[i], size, bpp, c, c));
    if (bpp == 32) {
      const auto alpha = [&](std::size_t x, std::size_t y) { return u8(b, f.entries[i].offset + 40 + ((size - 1 - y) * size + x) * 4 + 3); };
      EXPECT_EQ(alpha(0, 0), 0u);
      EXPECT_EQ(alpha(c, c), 255u);
    }
  }
}

constexpr auto kCursorSizes = ostrael::ui::kCursorSizes;  // Windows' for 100 % to 300 %

// Each hot spot is the topmost middle pixel of the index finger as drawn, and black: the 32 px art's
// (5, 0), and near 5 * size / 32 at the other sizes, where the top row holds the fingertip only.
TEST(CursorAsset, HoldsTheSevenSizesInOrderEachMonochromeWithMaskAndHotSpotOnTheFingertip) {
  const Bytes b = read_asset("hand.cur");
  const IconFile f = parse_directory(b);
  EXPECT_EQ(f.reserved, 0u);
  EXPECT_EQ(f.type, 2u);
  ASSERT_EQ(f.entries.size(), std::size(kCursorSizes));
  std::uint32_t expected_offset = 6 + 16 * 7;
  for (std::size_t i = 0; i < f.entries.size(); ++i) {
    const Entry& e = f.entries[i];
    const unsigned size = kCursorSizes[i], x = e.planes_or_x;
    SCOPED_TRACE(std::to_string(size) + " px");
    expect_dib(b, e, size, 1);
    EXPECT_EQ(e.offset, expected_offset) << "images overlap or leave gaps";
    expected_offset = e.offset + e.bytes;
    EXPECT_EQ(e.bits_or_y, 0u);
    std::vector<unsigned> top;
    for (unsigned at = 0; at < size; ++at)
      if (!masked(b, e, size, 1, at, 0)) top.push_back(at);
    ASSERT_FALSE(top.empty());
    EXPECT_EQ(top.back() - top.front() + 1, top.size()) << "the top row holds more than the fingertip";
    EXPECT_LE(std::abs(int(2 * x) - int(top.front() + top.back())), 1) << "not the fingertip's middle";
    EXPECT_LE(std::abs(int(32 * x) - int(5 * size)), int(size)) << "the fingertip is not where the art has it";
    const std::size_t top_colours = e.offset + 48 + (size - 1) * row_bytes(size);  // rows go bottom up
    EXPECT_EQ(u8(b, top_colours + x / 8) >> (7 - x % 8) & 1, 0u) << "not black (colour 0)";
  }
  EXPECT_EQ(expected_offset, b.size());
  EXPECT_EQ(f.entries[0].planes_or_x, 5u);
}

}  // namespace
