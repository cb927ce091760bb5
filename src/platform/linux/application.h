// The application object on Linux: the executable's directory, process end, stderr diagnostics.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace ostrael::linux_ {

// The directory part of an absolute executable path: "/media/pen/ostrael" gives "/media/pen",
// "/ostrael" gives "/". Only the root itself ends with "/".
std::string directory_of(std::string_view executable_path);

// What a process knows about how it was started.
struct StartPaths {
  std::string self_exe;       // /proc/self/exe, as the kernel resolved it
  std::string loader;         // the program's interpreter (PT_INTERP); empty for a static program
  std::string execfn;         // getauxval(AT_EXECFN); empty when missing
  std::string link_map_name;  // the name of the first link map (the main program's)
  std::string cwd;            // the working directory, which relative names above are read against
};

// realpath: an absolute path without symbolic links, or "" when the path does not resolve.
using ResolvePath = std::function<std::string(const std::string&)>;

// The running program's file. Started through the dynamic loader ("ld.so ostrael"), self_exe
// names the loader; then the program is AT_EXECFN, or the main link map's name when AT_EXECFN
// also names the loader. "" when neither names the program.
std::string program_path(const StartPaths& paths, const ResolvePath& resolve);

class Application : public ostrael::Application {
 public:
  // Records the program's file (see program_path) once: after its drive is pulled, neither the
  // loader's names nor /proc/self/exe resolve to it any more.
  Application();

  // The directory of the program's file as recorded at start, derived afresh on each call.
  Result<std::string> application_directory() override;
  // Flushes stdio and leaves with status 0; no atexit handlers or destructors run.
  void end_program() override;
  // Writes the line and a newline to stderr; breaks inside the line become spaces.
  void report_unhandled(std::string_view line) override;

 private:
  Result<std::string> program_;
};

}  // namespace ostrael::linux_
