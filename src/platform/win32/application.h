// The application object: the executable's directory, process end and the debug output.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace win32 {

// The directory part of an executable's path: "P:\" at a drive's root, "P:\tools" below it.
std::wstring directory_of(std::wstring_view module_path);

class Application final : public ostrael::Application {
 public:
  ostrael::Result<std::string> application_directory() override;
  [[noreturn]] void end_program() override;
  void report_unhandled(std::string_view line) override;
};

}  // namespace win32
