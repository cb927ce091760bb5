// The window's button pictures, hand cursor and icon, from the pixels built into the program.
#pragma once

#include <gtk/gtk.h>

#include <vector>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/icon_file.h"
#include "platform/result.h"
#include "ui/layout.h"

namespace ostrael::gtk {

Result<GObjectPtr<GdkPixbuf>> load_picture(ui::Asset asset);

struct HandCursor {
  GObjectPtr<GdkPixbuf> picture;
  HotSpot hot;
};

// The hand's picture and the hot spot its file gives.
Result<HandCursor> hand_cursor_picture();

// The hand shown over the picture buttons.
Result<GObjectPtr<GdkCursor>> load_hand_cursor(GdkDisplay* display);

// One image per size in the icon file, the deepest of each, smallest first.
Result<std::vector<GObjectPtr<GdkPixbuf>>> load_window_icons();

}  // namespace ostrael::gtk
