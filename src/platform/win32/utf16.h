// UTF-8 at the seam, UTF-16 towards Windows.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

// Bad sequences become U+FFFD; neither direction fails.
std::wstring to_utf16(std::string_view utf8);
std::string to_utf8(std::wstring_view utf16);

}  // namespace win32
