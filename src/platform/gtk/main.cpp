// The Linux program: GTK start-up, the Linux services and the form ostraelen on its GTK window.
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/ostraelen.h"
#include "platform/gtk/main_window.h"
#include "platform/gtk/shell.h"
#include "platform/linux/remap.h"
#include "platform/linux/services.h"

int main() {
#ifndef OSTRAEL_NO_REMAP  // only a test's build leaves the program on its file, to see the fault
  // A finder pulls the drive while the window is open; a page evicted from its file then could
  // not come back, and the next click would die of SIGBUS. Before any thread starts.
  if (auto moved = ostrael::linux_::remap_program_into_memory(); !moved)
    std::fprintf(stderr, "ostrael: still runs from its file, pulling the drive may end it: %s\n",
                 ostrael::describe(moved.failure()).c_str());
#endif
  // No command line: GTK sees no arguments of ours either.
  g_set_prgname("ostrael");
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fputs("ostrael: cannot open the display\n", stderr);
    return 1;
  }
  ostrael::linux_::Services services;
  // autorun.sh starts the program in the drive's folder; a working directory there keeps the
  // drive busy, and the desktop then refuses to eject it. Every path is absolute from here on.
  if (::chdir("/") != 0) std::perror("ostrael: chdir /");
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
