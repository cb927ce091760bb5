// Helpers for the Linux tests: temporary directories, running tools without a shell, loop devices and mounts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrael::linux_::testing {

// A fresh directory in the system temporary directory, removed with everything in it at the end.
class TempDir {
 public:
  explicit TempDir(const std::string& name_with_spaces = "ostrael test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct RunResult {
  int status = -1;  // exit status, or -1 when the program could not start or was killed
  std::string output;  // stdout and stderr together
};

// Runs argv[0] from PATH with the given arguments, as a list: nothing goes through a shell.
RunResult run(const std::vector<std::string>& argv);
bool have_program(const std::string& name);
// Starts argv[0] from PATH with its output thrown away and does not wait; -1 when it cannot.
int spawn(const std::vector<std::string>& argv);

// Unmounts `dir` at the end, lazily if the mount is busy or its FUSE daemon is gone.
class Mounted {
 public:
  explicit Mounted(std::string dir) : dir_(std::move(dir)) {}
  ~Mounted();

 private:
  std::string dir_;
};

// A loop device over `image`, detached at the end; when losetup refuses, device() is empty and
// error() says why.
class LoopDevice {
 public:
  explicit LoopDevice(const std::string& image);
  ~LoopDevice();
  const std::string& device() const { return device_; }
  const std::string& error() const { return error_; }

 private:
  std::string device_, error_;
};

// A started daemon, killed and reaped at the end unless kill() did so before.
class Daemon {
 public:
  explicit Daemon(int pid) : pid_(pid) {}
  ~Daemon() { kill(); }
  void kill();

 private:
  int pid_;
};

// The type of the file system mounted on `dir` itself, as findmnt reads the live table; empty for none.
std::string live_fs_type_at(const std::string& dir);
// Waits up to five seconds for something to be mounted on `dir`.
bool wait_for_mount(const std::string& dir);

// Creates `path` as a sparse file of `bytes`.
void make_sparse_file(const std::string& path, long long bytes);
void write_file(const std::string& path, const std::string& contents);
// The NTFS volume serial of the image at `path` as Windows shows it: the low half of the 64-bit
// number at 0x48.
std::int32_t ntfs_boot_sector_serial(const std::string& path);

}  // namespace ostrael::linux_::testing
