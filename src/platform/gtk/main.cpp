// The Linux program: GTK start-up, the Linux services and the form ostraelen on its GTK window.
#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "app/ostraelen.h"
#include "platform/gtk/main_window.h"
#include "platform/gtk/shell.h"
#include "platform/linux/services.h"

namespace {

ostrael::EventSource source_of(ostrael::ui::ControlId id) {
  using ostrael::EventSource;
  using ostrael::ui::ControlId;
  switch (id) {
    case ControlId::Frame1: return EventSource::Frame1;
    case ControlId::Text1: return EventSource::Text1;
    case ControlId::List1: return EventSource::List1;
    case ControlId::Image1: return EventSource::Image1;
    case ControlId::Image2: return EventSource::Image2;
    case ControlId::Image3: return EventSource::Image3;
    case ControlId::Image4: return EventSource::Image4;
    case ControlId::Label1: return EventSource::Label1;
  }
  return EventSource::Label1;
}

}  // namespace

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
      [&form](ostrael::ui::ControlId id) { form->dispatch(source_of(id), ostrael::Event::Click); },
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
