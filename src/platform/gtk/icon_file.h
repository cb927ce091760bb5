// The parts of .ico and .cur files that gdk-pixbuf's loader leaves out: the cursor's hot spot,
// and every size of an icon rather than only the one it picks.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ostrael::gtk {

struct HotSpot {
  int x, y;
};

// The hot spot of the first image of a .cur file; empty when the bytes are not a cursor file.
std::optional<HotSpot> cursor_hot_spot(std::span<const std::uint8_t> bytes);

// The deepest image of each width in a .ico file, smallest first, each as a one-image .ico file
// of its own; empty when the bytes are not a well-formed icon file.
std::optional<std::vector<std::vector<std::uint8_t>>> icon_sizes(std::span<const std::uint8_t> bytes);

}  // namespace ostrael::gtk
