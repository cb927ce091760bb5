// Sequential input under file numbers: regular files only, opened without ever blocking.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/platform.h"

namespace ostrael::linux_ {

class FileInput : public ostrael::FileInput {
 public:
  FileInput() = default;
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;
  ~FileInput() override;

  // File numbers run from 1 to 511. FIFOs, directories, devices and anything else that is not a
  // regular file fail, also through symlinks.
  Status open_for_input(const std::string& path, int file_number) override;
  Result<std::uint64_t> file_length(int file_number) override;
  Result<std::string> read_bytes(std::uint64_t count, int file_number) override;
  Status close_file(int file_number) override;

 private:
  std::map<int, int> open_;  // file number -> descriptor
};

}  // namespace ostrael::linux_
