// Sequential input of message.txt under a file number.
#pragma once

#include <map>

#include "platform/platform.h"
#include "unique_handle.h"

namespace win32 {

class FileInput final : public ostrael::FileInput {
 public:
  ostrael::Status open_for_input(const std::string& path, int file_number) override;
  ostrael::Result<std::uint64_t> file_length(int file_number) override;
  ostrael::Result<std::string> read_bytes(std::uint64_t count, int file_number) override;
  ostrael::Status close_file(int file_number) override;

 private:
  std::map<int, UniqueFile> open_;
};

}  // namespace win32
