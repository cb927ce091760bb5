// Start-up, the event binding table, dispatch, and the two commands outside the panel.
#include "app/ostraelen.h"

#include <array>
#include <string>

namespace ostrael {

namespace {
constexpr std::array kBindings{
    ostraelen::Binding{EventSource::Form, Event::Load, &ostraelen::Form_Load, FailureKind::Unguarded, "Form_Load"},
    ostraelen::Binding{EventSource::Image1, Event::Click, &ostraelen::Image1_Click, FailureKind::Unguarded, "Image1_Click"},
    ostraelen::Binding{EventSource::Image2, Event::Click, &ostraelen::Image2_Click, FailureKind::ResumeNext, "Image2_Click"},
    ostraelen::Binding{EventSource::Image3, Event::Click, &ostraelen::Image3_Click, FailureKind::Unguarded, "Image3_Click"},
    ostraelen::Binding{EventSource::Image4, Event::Click, &ostraelen::Image4_Click, FailureKind::Unguarded, "Image4_Click"},
};
}  // namespace

std::span<const ostraelen::Binding> ostraelen::bindings() { return kBindings; }

void ostraelen::dispatch(EventSource source, Event event) {
  for (const Binding& binding : kBindings) {
    if (binding.source != source || binding.event != event) continue;
    Status status = (this->*binding.handler)();
    if (!status) platform_.application.report_unhandled(std::string(binding.name) + ": " + describe(status.failure()));
    return;
  }
}

Status ostraelen::Form_Load() {
  RETURN_IF_FAILED(LoadTextFile());
  return {};
}

Status ostraelen::Image1_Click() {
  platform_.application.end_program();
  return {};
}

Status ostraelen::Image4_Click() {
  ASSIGN_OR_RETURN(std::string directory, platform_.application.application_directory());
  // The shell's own answer is ignored: a folder it cannot open is not the program's failure.
  RETURN_IF_FAILED(platform_.shell.open_folder(directory));
  return {};
}

}  // namespace ostrael
