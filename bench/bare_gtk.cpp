// The GTK baseline: the form's frame, a text view in a scrolled window and the four captions,
// placed from the window description, with no pictures, cursor, icon or message.
#include <gtk/gtk.h>

#include "ui/layout.h"

namespace ui = ostrael::ui;

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "bare GTK");
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  GtkWidget* client = gtk_fixed_new();
  gtk_widget_set_size_request(client, ui::twips_to_pixels(ui::kForm.client_width_twips),
                              ui::twips_to_pixels(ui::kForm.client_height_twips));
  gtk_container_add(GTK_CONTAINER(window), client);

  for (const ui::Control& control : ui::kControls) {
    ui::Rect r = ui::client_pixels(control);
    GtkWidget* widget = nullptr;
    switch (control.type) {
      case ui::ControlType::Frame:
        widget = gtk_frame_new(nullptr);
        break;
      case ui::ControlType::TextBox: {
        widget = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(widget), GTK_POLICY_NEVER, GTK_POLICY_ALWAYS);
        GtkWidget* view = gtk_text_view_new();
        gtk_text_view_set_editable(GTK_TEXT_VIEW(view), FALSE);
        gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
        gtk_container_add(GTK_CONTAINER(widget), view);
        break;
      }
      case ui::ControlType::Label: {
        widget = gtk_label_new(nullptr);
        g_autofree char* markup = g_markup_printf_escaped("<b>%.*s</b>", static_cast<int>(control.text.size()),
                                                          control.text.data());
        gtk_label_set_markup(GTK_LABEL(widget), markup);
        break;
      }
      default:
        continue;  // the list and the pictures are not in the baseline
    }
    gtk_widget_set_size_request(widget, r.width, r.height);
    gtk_fixed_put(GTK_FIXED(client), widget, r.left, r.top);
  }

  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
