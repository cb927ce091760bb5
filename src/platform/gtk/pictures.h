// The window's button pictures, hand cursor and icon, from the pixels built into the program.
#pragma once

#include <cairo.h>
#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/icon_file.h"
#include "platform/result.h"
#include "ui/layout.h"
#include "ui/picture.h"

namespace ostrael::gtk {

struct SurfaceDestroy {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDestroy>;

// The picture of `control` for a window of scale factor `scale`, `scale` pixels to each of the
// window's, from the drawing made for that size or the next larger one. Premultiplied, so that it
// lies on whatever the theme paints behind it, light or dark.
Result<SurfacePtr> load_picture(const ui::Control& control, int scale);

struct HandCursor {
  GObjectPtr<GdkPixbuf> picture;
  HotSpot hot;
};

// An image surface's pixels as they are: ARGB32 is premultiplied 0xAARRGGBB in the machine's own
// byte order, as a Picture's pixels are.
ui::Picture picture_of(cairo_surface_t* surface);

// The hand's image `size` pixels wide and the hot spot its file gives it.
Result<HandCursor> hand_cursor_picture(int size);

// The hand shown over the picture buttons in a window of scale factor `scale`.
Result<GObjectPtr<GdkCursor>> load_hand_cursor(GdkDisplay* display, int scale);

// One image per size in the icon file, the deepest of each, smallest first.
Result<std::vector<GObjectPtr<GdkPixbuf>>> load_window_icons();

}  // namespace ostrael::gtk
