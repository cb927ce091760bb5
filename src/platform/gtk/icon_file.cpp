#include "platform/gtk/icon_file.h"

#include <algorithm>
#include <map>

namespace ostrael::gtk {

namespace {

unsigned u16(std::span<const std::uint8_t> b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) { return u16(b, at) | std::uint32_t{u16(b, at + 2)} << 16; }

constexpr std::size_t kDirSize = 6, kEntrySize = 16;
constexpr unsigned kIconType = 1, kCursorType = 2;

}  // namespace

std::optional<HotSpot> cursor_hot_spot(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kDirSize + kEntrySize || u16(bytes, 0) != 0 || u16(bytes, 2) != kCursorType || u16(bytes, 4) == 0)
    return std::nullopt;
  return HotSpot{static_cast<int>(u16(bytes, kDirSize + 4)), static_cast<int>(u16(bytes, kDirSize + 6))};
}

std::optional<std::vector<std::vector<std::uint8_t>>> icon_sizes(std::span<const std::uint8_t> file) {
  if (file.size() < kDirSize || u16(file, 0) != 0 || u16(file, 2) != kIconType) return std::nullopt;
  const unsigned count = u16(file, 4);
  if (file.size() < kDirSize + count * kEntrySize) return std::nullopt;

  std::map<unsigned, std::size_t> deepest;  // width -> entry offset
  for (unsigned i = 0; i < count; ++i) {
    std::size_t entry = kDirSize + i * kEntrySize;
    unsigned width = file[entry] ? file[entry] : 256;
    auto [it, fresh] = deepest.try_emplace(width, entry);
    if (!fresh && u16(file, entry + 6) > u16(file, it->second + 6)) it->second = entry;
  }
  std::vector<std::vector<std::uint8_t>> sizes;
  for (auto [width, entry] : deepest) {
    std::uint32_t size = u32(file, entry + 8), offset = u32(file, entry + 12);
    if (offset > file.size() || size > file.size() - offset) return std::nullopt;
    std::vector<std::uint8_t> single(file.begin(), file.begin() + kDirSize + kEntrySize);
    single[4] = 1;
    single[5] = 0;
    std::copy_n(file.begin() + entry, kEntrySize, single.begin() + kDirSize);
    const std::uint32_t data_at = kDirSize + kEntrySize;
    for (int b = 0; b < 4; ++b) single[kDirSize + 12 + b] = static_cast<std::uint8_t>(data_at >> (8 * b));
    single.insert(single.end(), file.begin() + offset, file.begin() + offset + size);
    sizes.push_back(std::move(single));
  }
  if (sizes.empty()) return std::nullopt;
  return sizes;
}

}  // namespace ostrael::gtk
