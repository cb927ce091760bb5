// Helpers for the Linux tests.
#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ostrael::linux_::testing {

TempDir::TempDir(const std::string& name_with_spaces) {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/" + name_with_spaces + " XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {

// Starts argv[0] from PATH with `actions`; -1 when it cannot be started.
pid_t spawn_with(const std::vector<std::string>& argv, const posix_spawn_file_actions_t* actions) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  return ::posix_spawnp(&pid, args[0], actions, nullptr, args.data(), environ) == 0 ? pid : -1;
}

}  // namespace

RunResult run(const std::vector<std::string>& argv) {
  RunResult result;
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = spawn_with(argv, &actions);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (pid > 0) {
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) result.output.append(buffer, n);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  }
  ::close(pipe_fds[0]);
  return result;
}

int spawn(const std::vector<std::string>& argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = spawn_with(argv, &actions);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

bool have_program(const std::string& name) {
  for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"})
    if (::access((std::string(dir) + "/" + name).c_str(), X_OK) == 0) return true;
  return false;
}

Mounted::~Mounted() {
  if (::umount2(dir_.c_str(), 0) != 0) ::umount2(dir_.c_str(), MNT_DETACH);
}

LoopDevice::LoopDevice(const std::string& image) {
  auto result = run({"losetup", "--find", "--show", image});
  if (result.status == 0) {
    device_ = result.output.substr(0, result.output.find('\n'));
  } else {
    error_ = result.output;
  }
}

LoopDevice::~LoopDevice() {
  if (!device_.empty()) (void)run({"losetup", "-d", device_});
}

void Daemon::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

std::string live_fs_type_at(const std::string& dir) {
  auto found = run({"findmnt", "--noheadings", "--raw", "--output", "FSTYPE", "--mountpoint", dir});
  return found.status == 0 ? found.output.substr(0, found.output.find('\n')) : std::string();
}

bool wait_for_mount(const std::string& dir) {
  for (int i = 0; i < 100; ++i) {
    if (!live_fs_type_at(dir).empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void make_sparse_file(const std::string& path, long long bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ::ftruncate(fd, bytes) != 0) throw std::runtime_error("cannot make " + path);
  ::close(fd);
}

void write_file(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary);
  out << contents;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::int32_t ntfs_boot_sector_serial(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char bytes[4] = {};
  in.seekg(0x48);
  in.read(reinterpret_cast<char*>(bytes), 4);
  std::uint32_t low = 0;
  std::memcpy(&low, bytes, 4);  // little-endian, as the test machines are
  return static_cast<std::int32_t>(low);
}

}  // namespace ostrael::linux_::testing
