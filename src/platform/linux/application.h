// The application object on Linux: the executable's directory, process end, stderr diagnostics.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace ostrael::linux_ {

// The directory part of an absolute executable path: "/media/pen/ostrael" gives "/media/pen",
// "/ostrael" gives "/". Only the root itself ends with "/".
std::string directory_of(std::string_view executable_path);

class Application : public ostrael::Application {
 public:
  // The directory of /proc/self/exe, read afresh on each call.
  Result<std::string> application_directory() override;
  // Flushes stdio and leaves with status 0; no atexit handlers or destructors run.
  void end_program() override;
  // Writes the line and a newline to stderr; breaks inside the line become spaces.
  void report_unhandled(std::string_view line) override;
};

}  // namespace ostrael::linux_
