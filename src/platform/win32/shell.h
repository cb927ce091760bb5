// "Open Pen": asks the desktop shell to open a folder.
#pragma once

#include <string>

#include "platform/platform.h"

namespace win32 {

// The folder as the shell gets it: UTF-16, with a trailing backslash so that it can only be
// taken as a folder, never as a program of the same name beside it.
std::wstring folder_for_shell(std::string_view directory);

class Shell final : public ostrael::Shell {
 public:
  ostrael::Status open_folder(std::string_view directory) override;
};

}  // namespace win32
