// Sequential input under file numbers.
#include "platform/linux/file_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace ostrael::linux_ {

namespace {

constexpr int kLowestFileNumber = 1;
constexpr int kHighestFileNumber = 511;

Failure os_failure(const char* operation, int error) { return Failure{operation, error, std::strerror(error)}; }
Failure not_open(const char* operation) { return Failure{operation, EBADF, "Bad file name or number"}; }

}  // namespace

FileInput::~FileInput() {
  for (auto& [number, fd] : open_) ::close(fd);
}

Status FileInput::open_for_input(const std::string& path, int file_number) {
  if (file_number < kLowestFileNumber || file_number > kHighestFileNumber) return not_open("Open");
  if (open_.count(file_number)) return Failure{"Open", EBUSY, "File already open"};
  // O_NONBLOCK: opening a FIFO with no writer would otherwise wait for one.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return os_failure("Open", errno);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    int error = errno;
    ::close(fd);
    return os_failure("Open", error);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return os_failure("Open", S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
  open_[file_number] = fd;
  return {};
}

Result<std::uint64_t> FileInput::file_length(int file_number) {
  auto it = open_.find(file_number);
  if (it == open_.end()) return not_open("FileLength");
  struct stat st;
  if (::fstat(it->second, &st) != 0) return os_failure("FileLength", errno);
  return static_cast<std::uint64_t>(st.st_size);
}

Result<std::string> FileInput::read_bytes(std::uint64_t count, int file_number) {
  auto it = open_.find(file_number);
  if (it == open_.end()) return not_open("Read");
  int fd = it->second;
  struct stat st;
  if (::fstat(fd, &st) != 0) return os_failure("Read", errno);
  off_t position = ::lseek(fd, 0, SEEK_CUR);
  if (position < 0) return os_failure("Read", errno);
  // Refuse before allocating: a count past the end would otherwise reserve memory for nothing.
  std::uint64_t remaining = st.st_size > position ? static_cast<std::uint64_t>(st.st_size - position) : 0;
  if (count > remaining) return Failure{"Read", ENODATA, "Input past end of file"};

  std::string bytes;
  try {
    bytes.resize(static_cast<std::size_t>(count));
  } catch (const std::exception&) {  // bad_alloc, or length_error past max_size
    return os_failure("Read", ENOMEM);
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      ::lseek(fd, position, SEEK_SET);
      return os_failure("Read", error);
    }
    if (n == 0) {
      // The file shrank under us: nothing is taken, the next read starts where this one did.
      ::lseek(fd, position, SEEK_SET);
      return Failure{"Read", ENODATA, "Input past end of file"};
    }
    done += static_cast<std::size_t>(n);
  }
  return bytes;
}

Status FileInput::close_file(int file_number) {
  auto it = open_.find(file_number);
  if (it == open_.end()) return not_open("Close");
  int fd = it->second;
  open_.erase(it);
  // The number is free whatever close says; on Linux the descriptor is gone even on EINTR.
  if (::close(fd) != 0 && errno != EINTR) return os_failure("Close", errno);
  return {};
}

}  // namespace ostrael::linux_
