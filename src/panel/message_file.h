// Where the owner's message is read from.
#pragma once

#include <string>
#include <string_view>

namespace ostrael {

inline constexpr std::string_view kMessageFileName = "message.txt";
inline constexpr int kMessageFileNumber = 1;

// `name` inside `directory`. A separator is added unless the directory ends in one, as it does
// only at a drive's root; a directory that starts with "/" is a POSIX one, any other a Windows one.
std::string join_path(std::string_view directory, std::string_view name);

}  // namespace ostrael
