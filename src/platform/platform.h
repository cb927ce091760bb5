// The operations the form and the panel use, and nothing else. Each backend implements them;
// tests/core/fake_platform.h implements them with no window system at all.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace ostrael {

// All texts cross the seam as UTF-8.

// The application object: where the executable lives, process end and the diagnostic output.
class Application {
 public:
  virtual ~Application() = default;
  // The directory of the running executable. It ends with a separator only at a drive's
  // root ("E:\", "/"), never elsewhere ("E:\tools", "/media/pen").
  virtual Result<std::string> application_directory() = 0;
  // Ends the process at once; a real backend never returns from it.
  virtual void end_program() = 0;
  // One line about a failure no handler took care of. The program keeps running.
  virtual void report_unhandled(std::string_view line) = 0;
};

// The controls that handlers change at run time; nothing else of the window is touched.
class Controls {
 public:
  virtual ~Controls() = default;
  // Line breaks arrive as they are in the file; CRLF, LF and a lone CR all show as breaks.
  virtual Status set_text1_text(std::string_view text) = 0;
  virtual Status set_text1_visible(bool visible) = 0;
  virtual Status clear_list1() = 0;
  virtual Status add_list1_line(std::string_view line) = 0;
};

// Sequential input of one file under a file number.
class FileInput {
 public:
  virtual ~FileInput() = default;
  // Fails when the file is missing, unreadable or not a regular file (directory, FIFO,
  // device). Never blocks on what it opens.
  virtual Status open_for_input(const std::string& path, int file_number) = 0;
  // Length in bytes; 64 bits, so nothing wraps in the 32-bit build.
  virtual Result<std::uint64_t> file_length(int file_number) = 0;
  // Exactly `count` bytes from the current position; fails if the file ends first.
  virtual Result<std::string> read_bytes(std::uint64_t count, int file_number) = 0;
  virtual Status close_file(int file_number) = 0;
};

class TextConversions {
 public:
  virtual ~TextConversions() = default;
  // The value with no decimals, the user's digit grouping and the locale's other defaults.
  virtual Result<std::string> format_number(double value) = 0;
  // Bytes in the system's 8-bit code page, as UTF-8.
  virtual Result<std::string> code_page_to_utf8(std::string_view bytes) = 0;
};

// The drive object: nine read-only properties, each read when asked.
class Drive {
 public:
  virtual ~Drive() = default;
  virtual Result<std::string> drive_letter() = 0;
  // 0 unknown, 1 removable, 2 fixed, 3 network, 4 CD-ROM, 5 RAM disk.
  virtual Result<std::int32_t> drive_type() = 0;
  virtual Result<std::string> file_system() = 0;
  // Byte counts as double: they pass 32 bits, and the report divides in floating point anyway.
  virtual Result<double> free_space() = 0;
  virtual Result<bool> is_ready() = 0;
  virtual Result<std::string> path() = 0;
  virtual Result<std::int32_t> serial_number() = 0;
  virtual Result<double> total_size() = 0;
  virtual Result<std::string> volume_name() = 0;
};

// A file-system object lives for one handler call.
class FileSystemObject {
 public:
  virtual ~FileSystemObject() = default;
  virtual Result<std::string> get_drive_name(std::string_view path) = 0;
  virtual Result<std::unique_ptr<Drive>> get_drive(std::string_view drive_spec) = 0;
};

class DriveProvider {
 public:
  virtual ~DriveProvider() = default;
  virtual Result<std::unique_ptr<FileSystemObject>> create_file_system_object() = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Asks the desktop to open a folder its default way, with no owner window and a normal
  // window state. The desktop's own answer is not a failure; only failing to ask is.
  virtual Status open_folder(std::string_view directory) = 0;
};

// What a backend hands the form. The backend owns every part and outlives the form.
struct Platform {
  Application& application;
  Controls& controls;
  FileInput& files;
  TextConversions& text;
  DriveProvider& drives;
  Shell& shell;
};

}  // namespace ostrael
