// The Linux program: GTK start-up, the Linux services and the form ostraelen on its GTK window.
#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "app/ostraelen.h"
#include "platform/gtk/main_window.h"
#include "platform/gtk/shell.h"
#include "platform/linux/services.h"

int main() {
  // No command line: GTK sees no arguments of ours either.
  g_set_prgname("ostrael");
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fputs("ostrael: cannot open the display\n", stderr);
    return 1;
  }
  ostrael::linux_::Services services;
  ostrael::gtk::Shell shell;
  ostrael::ostraelen* form = nullptr;
  ostrael::gtk::MainWindow window(
      [&form](ostrael::ui::ControlId id) { form->dispatch(ostrael::event_source(id), ostrael::Event::Click); },
      [&services](std::string_view line) { services.application.report_unhandled(line); });
  ostrael::Platform platform{services.application, window, services.files, services.text, services.drives, shell};
  ostrael::ostraelen the_form(platform);
  form = &the_form;

  g_signal_connect(window.window(), "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  form->dispatch(ostrael::EventSource::Form, ostrael::Event::Load);
  window.show();
  gtk_main();
  return 0;
}
