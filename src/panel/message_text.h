// Turns the bytes of message.txt into the text the message view shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace ostrael {

// The most of message.txt that is read; a longer file shows its first part.
inline constexpr std::uint64_t kMaxMessageBytes = 1024 * 1024;

// UTF-8 and UTF-16 with a byte-order mark, then BOM-less UTF-8, then the system's 8-bit code
// page. The mark is not shown, a bad sequence becomes U+FFFD, and so does a NUL, so neither
// empties nor shortens the view. `cut` says the file went on past `bytes`: a character split
// by the cut is dropped rather than shown as a bad one.
Result<std::string> decode_message(std::string_view bytes, bool cut, TextConversions& text);

// Windows-1252 to UTF-8, for platforms that have no 8-bit code page of their own.
std::string windows_1252_to_utf8(std::string_view bytes);

}  // namespace ostrael
