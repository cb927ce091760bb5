// The window's own widgets as a screen reader meets them: the pictures as push buttons that can be
// pressed, Text1 and List1 named, List1's lines telling when they are selected. Leaves out
// keyboard access to the pictures, which take no focus.
#pragma once

#include <gtk/gtk.h>

#include <string_view>

namespace ostrael::gtk {

// An event box that is a push button named `name` to a screen reader, labelled by the label set
// with gtk_label_set_mnemonic_widget, described by its tooltip, with one action, "click", that
// emits "clicked" from the main loop. The widget itself emits nothing for the mouse.
GtkWidget* picture_button_new(std::string_view name);
GType picture_button_accessible_type();

// A read-only multi-line text view named `name` for a screen reader.
GtkWidget* message_view_new(std::string_view name);
GType message_view_accessible_type();

// A list box named `name` for a screen reader, whose lines tell it when they are selected.
GtkWidget* line_list_new(std::string_view name);
GType line_list_accessible_type();

}  // namespace ostrael::gtk
