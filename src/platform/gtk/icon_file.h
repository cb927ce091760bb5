// The parts of .ico and .cur files that gdk-pixbuf's loader leaves out: every image rather than
// only the one it picks, and each cursor image's hot spot.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ostrael::gtk {

struct HotSpot {
  int x, y;
};

struct CursorImage {
  std::vector<std::uint8_t> file;  // a one-image .cur file
  HotSpot hot;
};

// Each image of a .cur file in the file's order, each with the hot spot its directory entry
// gives; empty when the bytes are not a well-formed cursor file.
std::optional<std::vector<CursorImage>> cursor_images(std::span<const std::uint8_t> bytes);

// The deepest image of each width in a .ico file, smallest first, each as a one-image .ico file
// of its own; empty when the bytes are not a well-formed icon file.
std::optional<std::vector<std::vector<std::uint8_t>>> icon_sizes(std::span<const std::uint8_t> bytes);

}  // namespace ostrael::gtk
