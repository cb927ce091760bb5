// The directories of .ico and .cur files, and each image cut out of them as a file of its own.
#include "platform/gtk/icon_file.h"

#include <algorithm>
#include <map>

namespace ostrael::gtk {

namespace {

using Bytes = std::vector<std::uint8_t>;

unsigned u16(std::span<const std::uint8_t> b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) { return u16(b, at) | std::uint32_t{u16(b, at + 2)} << 16; }

constexpr std::size_t kDirSize = 6, kEntrySize = 16;
constexpr unsigned kIconType = 1, kCursorType = 2;

// The directory's image count when the bytes start with a directory of `type` that fits them.
std::optional<unsigned> image_count(std::span<const std::uint8_t> file, unsigned type) {
  if (file.size() < kDirSize || u16(file, 0) != 0 || u16(file, 2) != type) return std::nullopt;
  const unsigned count = u16(file, 4);
  if (count == 0 || file.size() < kDirSize + count * kEntrySize) return std::nullopt;
  return count;
}

// The image of the directory entry at `entry` as a file of its own, with that entry alone.
std::optional<Bytes> single_image(std::span<const std::uint8_t> file, std::size_t entry) {
  std::uint32_t size = u32(file, entry + 8), offset = u32(file, entry + 12);
  if (offset > file.size() || size > file.size() - offset) return std::nullopt;
  Bytes single(file.begin(), file.begin() + kDirSize + kEntrySize);
  single[4] = 1;
  single[5] = 0;
  std::copy_n(file.begin() + entry, kEntrySize, single.begin() + kDirSize);
  const std::uint32_t data_at = kDirSize + kEntrySize;
  for (int b = 0; b < 4; ++b) single[kDirSize + 12 + b] = static_cast<std::uint8_t>(data_at >> (8 * b));
  single.insert(single.end(), file.begin() + offset, file.begin() + offset + size);
  return single;
}

}  // namespace

std::optional<std::vector<CursorImage>> cursor_images(std::span<const std::uint8_t> file) {
  auto count = image_count(file, kCursorType);
  if (!count) return std::nullopt;
  std::vector<CursorImage> images;
  for (unsigned i = 0; i < *count; ++i) {
    const std::size_t entry = kDirSize + i * kEntrySize;
    auto single = single_image(file, entry);
    if (!single) return std::nullopt;
    // Where an icon's entry gives planes and bit depth, a cursor's gives the hot spot.
    images.push_back({std::move(*single), {static_cast<int>(u16(file, entry + 4)), static_cast<int>(u16(file, entry + 6))}});
  }
  return images;
}

std::optional<std::vector<Bytes>> icon_sizes(std::span<const std::uint8_t> file) {
  auto count = image_count(file, kIconType);
  if (!count) return std::nullopt;
  std::map<unsigned, std::size_t> deepest;  // width -> entry offset
  for (unsigned i = 0; i < *count; ++i) {
    std::size_t entry = kDirSize + i * kEntrySize;
    unsigned width = file[entry] ? file[entry] : 256;
    auto [it, fresh] = deepest.try_emplace(width, entry);
    if (!fresh && u16(file, entry + 6) > u16(file, it->second + 6)) it->second = entry;
  }
  std::vector<Bytes> sizes;
  for (auto [width, entry] : deepest) {
    auto single = single_image(file, entry);
    if (!single) return std::nullopt;
    sizes.push_back(std::move(*single));
  }
  return sizes;
}

}  // namespace ostrael::gtk
