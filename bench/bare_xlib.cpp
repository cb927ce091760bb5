// The floor: a bare Xlib window of the form's client size that does nothing but show.
// Before Xlib, whose macros (None, Font) would clash with the description's names.
#include "ui/layout.h"

#include <X11/Xlib.h>

namespace ui = ostrael::ui;

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  int screen = DefaultScreen(display);
  Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                      ui::twips_to_pixels(ui::kForm.client_width_twips),
                                      ui::twips_to_pixels(ui::kForm.client_height_twips), 0,
                                      BlackPixel(display, screen), WhitePixel(display, screen));
  XStoreName(display, window, "bare Xlib");
  XSelectInput(display, window, ExposureMask);
  XMapWindow(display, window);
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
  }
}
