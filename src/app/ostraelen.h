// The main form: its handlers, its one method and the table that binds events to them.
#pragma once

#include <span>
#include <string_view>

#include "platform/platform.h"
#include "ui/layout.h"

namespace ostrael {

enum class EventSource { Form, Image1, Image2, Image3, Image4, Label1, Frame1, Text1, List1 };
enum class Event { Load, Click };

// The event source that a control of the window description raises its events as.
EventSource event_source(ui::ControlId control);

// Resume-next procedures pass over every failing statement and always return normally.
// Unguarded ones end at the first failing statement and hand the failure to the dispatcher.
enum class FailureKind { Unguarded, ResumeNext };

class ostraelen {
 public:
  explicit ostraelen(Platform& platform) : platform_(platform) {}

  // Runs the handler bound to (source, event), if any. A failure it lets out is written as one
  // line to the diagnostic output; the program keeps running and shows nothing.
  void dispatch(EventSource source, Event event);

  Status Form_Load();
  Status LoadTextFile();
  Status Image1_Click();
  Status Image2_Click();
  Status Image3_Click();
  Status Image4_Click();

  struct Binding {
    EventSource source;
    Event event;
    Status (ostraelen::*handler)();
    FailureKind kind;
    std::string_view name;
  };
  static std::span<const Binding> bindings();

 private:
  Platform& platform_;  // the form keeps no other state
};

}  // namespace ostrael
