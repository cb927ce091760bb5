// File input through CreateFileW: regular disk files only, shared with whoever else has them open.
#include "file_input.h"

#include <windows.h>

#include <algorithm>
#include <limits>

#include "failure.h"
#include "utf16.h"

namespace win32 {

namespace {

ostrael::Failure not_open(std::string_view operation) { return error_failure(operation, ERROR_INVALID_HANDLE); }

}  // namespace

ostrael::Status FileInput::open_for_input(const std::string& path, int file_number) {
  if (open_.count(file_number)) return error_failure("CreateFileW", ERROR_ALREADY_EXISTS);
  std::wstring wide = to_utf16(path);

  // Refuse what is not a plain file before opening it: opening a FIFO can wait for a writer.
  DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return last_error_failure("GetFileAttributesW");
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
    return ostrael::Failure{"CreateFileW", ERROR_ACCESS_DENIED, "not a regular file"};

  // The owner may have the message open in an editor while the program reads it.
  UniqueFile file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return last_error_failure("CreateFileW");
  // Pipes, consoles and devices reached through links or \\.\ names: a read could block forever.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK)
    return ostrael::Failure{"CreateFileW", ERROR_INVALID_FUNCTION, "not a regular file"};
  open_.emplace(file_number, std::move(file));
  return {};
}

ostrael::Result<std::uint64_t> FileInput::file_length(int file_number) {
  auto it = open_.find(file_number);
  if (it == open_.end()) return not_open("GetFileSizeEx");
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(it->second.get(), &size)) return last_error_failure("GetFileSizeEx");
  return static_cast<std::uint64_t>(size.QuadPart);
}

ostrael::Result<std::string> FileInput::read_bytes(std::uint64_t count, int file_number) {
  auto it = open_.find(file_number);
  if (it == open_.end()) return not_open("ReadFile");
  if (count > std::numeric_limits<std::size_t>::max() / 2) return error_failure("ReadFile", ERROR_NOT_ENOUGH_MEMORY);
  std::string bytes(static_cast<std::size_t>(count), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    DWORD got = 0;
    if (!::ReadFile(it->second.get(), bytes.data() + done, chunk, &got, nullptr)) return last_error_failure("ReadFile");
    if (got == 0) return error_failure("ReadFile", ERROR_HANDLE_EOF);
    done += got;
  }
  return bytes;
}

ostrael::Status FileInput::close_file(int file_number) {
  if (open_.erase(file_number) == 0) return not_open("CloseHandle");
  return {};
}

}  // namespace win32
