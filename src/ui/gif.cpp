// A GIF decoder for our own pictures: small enough that no image library has to be loaded.
#include "ui/gif.h"

#include <array>

namespace ostrael::ui {

namespace {

constexpr int kMaxSide = 1024;

Failure bad(const char* why) { return Failure{"DecodeGif", 0, why}; }

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool has(std::size_t n) const { return bytes_.size() - at_ >= n; }
  std::uint8_t byte() {
    if (has(1)) return static_cast<std::uint8_t>(bytes_[at_++]);
    ok_ = false;
    return 0;
  }
  int word() {
    int lo = byte();
    return lo | byte() << 8;
  }
  std::string_view take(std::size_t n) {
    if (!has(n)) {
      ok_ = false;
      return {};
    }
    std::string_view part = bytes_.substr(at_, n);
    at_ += n;
    return part;
  }
  // The data sub-blocks that follow, joined.
  std::string sub_blocks() {
    std::string data;
    for (std::uint8_t n; ok_ && (n = byte()) != 0;) data.append(take(n));
    return data;
  }
  bool ok() const { return ok_; }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

// The colour indices of a width x height image; fails on a malformed code stream.
Result<std::vector<std::uint8_t>> lzw_decode(std::string_view data, int min_code_size, std::size_t count) {
  if (min_code_size < 2 || min_code_size > 11) return bad("bad LZW code size");
  const int clear = 1 << min_code_size, end = clear + 1;
  std::array<std::uint16_t, 4096> prefix{};
  std::array<std::uint8_t, 4096> suffix{};
  std::array<std::uint8_t, 4097> stack{};
  for (int i = 0; i < clear; ++i) suffix[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);

  std::vector<std::uint8_t> out;
  out.reserve(count);
  int size = min_code_size + 1, next = end + 1, previous = -1;
  std::uint8_t first = 0;
  std::uint32_t bits = 0;
  int held = 0;
  std::size_t at = 0;
  while (out.size() < count) {
    while (held < size) {
      if (at == data.size()) return bad("image data ends early");
      bits |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[at++])) << held;
      held += 8;
    }
    int code = static_cast<int>(bits & ((1u << size) - 1));
    bits >>= size;
    held -= size;
    if (code == clear) {
      size = min_code_size + 1, next = end + 1, previous = -1;
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code >= clear) return bad("first code is not a colour");
      out.push_back(first = static_cast<std::uint8_t>(code));
      previous = code;
      continue;
    }
    if (code > next) return bad("code out of order");
    std::size_t depth = 0;
    int walk = code;
    if (code == next) {
      stack[depth++] = first;
      walk = previous;
    }
    while (walk >= clear) {
      stack[depth++] = suffix[static_cast<std::size_t>(walk)];
      walk = prefix[static_cast<std::size_t>(walk)];
    }
    stack[depth++] = first = static_cast<std::uint8_t>(walk);
    while (depth > 0 && out.size() < count) out.push_back(stack[--depth]);
    if (next < 4096) {
      prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(previous);
      suffix[static_cast<std::size_t>(next)] = first;
      if (++next == 1 << size && size < 12) ++size;
    }
    previous = code;
  }
  if (out.size() < count) return bad("image data ends early");
  return out;
}

}  // namespace

Result<Picture> decode_gif(std::string_view bytes) {
  Reader in(bytes);
  std::string_view signature = in.take(6);
  if (signature != "GIF89a" && signature != "GIF87a") return bad("not a GIF");
  Picture picture;
  picture.width = in.word();
  picture.height = in.word();
  if (picture.width <= 0 || picture.height <= 0 || picture.width > kMaxSide || picture.height > kMaxSide)
    return bad("bad picture size");
  std::uint8_t flags = in.byte();
  in.byte(), in.byte();  // background colour, aspect
  std::string_view palette;
  if (flags & 0x80) palette = in.take(3u << ((flags & 7) + 1));
  int transparent = -1;

  while (in.ok()) {
    std::uint8_t block = in.byte();
    if (block == 0x21) {
      std::uint8_t label = in.byte();
      std::string data = in.sub_blocks();
      if (label == 0xF9 && data.size() >= 4 && (data[0] & 1)) transparent = static_cast<std::uint8_t>(data[3]);
    } else if (block == 0x2C) {
      int left = in.word(), top = in.word(), w = in.word(), h = in.word();
      std::uint8_t image_flags = in.byte();
      if (image_flags & 0x80) palette = in.take(3u << ((image_flags & 7) + 1));
      int code_size = in.byte();
      std::string data = in.sub_blocks();
      if (!in.ok()) break;
      if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return bad("bad image size");
      auto indices = lzw_decode(data, code_size, static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
      if (!indices) return indices.failure();

      bool interlaced = image_flags & 0x40;
      std::vector<int> rows;  // the image row each decoded row lands on
      if (interlaced) {
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
          for (int y = start; y < h; y += step) rows.push_back(y);
      } else {
        for (int y = 0; y < h; ++y) rows.push_back(y);
      }
      picture.pixels.assign(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height), 0);
      for (int r = 0; r < h; ++r) {
        int y = top + rows[static_cast<std::size_t>(r)];
        for (int x = 0; x < w; ++x) {
          int index = (*indices)[static_cast<std::size_t>(r) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
          if (index == transparent || left + x >= picture.width || y >= picture.height) continue;
          std::size_t p = static_cast<std::size_t>(index) * 3;
          if (p + 2 >= palette.size()) return bad("colour outside the palette");
          auto c = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(palette[p + k])); };
          picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                         static_cast<std::size_t>(left + x)] = 0xFF000000u | c(0) << 16 | c(1) << 8 | c(2);
        }
      }
      return picture;
    } else {
      break;  // the trailer, or something that is not a GIF block
    }
  }
  return bad("no image in the GIF");
}

}  // namespace ostrael::ui
