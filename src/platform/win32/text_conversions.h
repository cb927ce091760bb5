// FormatNumber in the user's locale and the system's 8-bit code page, both through the OS.
#pragma once

#include "platform/platform.h"

namespace win32 {

class TextConversions final : public ostrael::TextConversions {
 public:
  ostrael::Result<std::string> format_number(double value) override;
  ostrael::Result<std::string> code_page_to_utf8(std::string_view bytes) override;
};

}  // namespace win32
