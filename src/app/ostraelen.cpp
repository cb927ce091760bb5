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

EventSource event_source(ui::ControlId control) {
  switch (control) {
    case ui::ControlId::Frame1: return EventSource::Frame1;
    case ui::ControlId::Text1: return EventSource::Text1;
    case ui::ControlId::List1: return EventSource::List1;
    case ui::ControlId::Image1: return EventSource::Image1;
    case ui::ControlId::Image2: return EventSource::Image2;
    case ui::ControlId::Image3: return EventSource::Image3;
    case ui::ControlId::Image4: return EventSource::Image4;
    case ui::ControlId::Label1: return EventSource::Label1;
  }
  return EventSource::Label1;
}

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
