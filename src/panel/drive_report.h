// The drive report's fixed texts.
#pragma once

#include <string_view>

namespace ostrael::report {

inline constexpr std::string_view kHeading = "[Pen Information]";
inline constexpr std::string_view kLetter = "Pen Letter: ";
inline constexpr std::string_view kType = "Pen Type: ";
inline constexpr std::string_view kFileSystem = "File System: ";
inline constexpr std::string_view kFreeSpace = "Free Space: ";
inline constexpr std::string_view kReady = "Pen Ready: ";
inline constexpr std::string_view kPath = "Pen Path: ";
inline constexpr std::string_view kSerial = "Serial Number: ";
inline constexpr std::string_view kTotalSize = "Total Size: ";
inline constexpr std::string_view kVolumeName = "Volume Name: ";
inline constexpr std::string_view kSizeUnit = " Kb";

}  // namespace ostrael::report
