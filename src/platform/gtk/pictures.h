// The window's button pictures, hand cursor and icon, read from the data built into the program.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/gtk/gobject_ptr.h"
#include "platform/result.h"
#include "ui/layout.h"

namespace ostrael::gtk {

struct HotSpot {
  int x, y;
};

Result<GObjectPtr<GdkPixbuf>> load_picture(ui::Asset asset);

// The hand shown over the picture buttons, with the hot spot its file gives.
Result<GObjectPtr<GdkCursor>> load_hand_cursor(GdkDisplay* display);

// One image per size in the icon file, the deepest of each.
Result<std::vector<GObjectPtr<GdkPixbuf>>> load_window_icons();

// The hot spot of the first image of a .cur file; empty when the bytes are not a cursor file.
std::optional<HotSpot> cursor_hot_spot(std::span<const std::uint8_t> bytes);

}  // namespace ostrael::gtk
