// The application object on Linux.
#include "platform/linux/application.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace ostrael::linux_ {

std::string directory_of(std::string_view executable_path) {
  std::size_t slash = executable_path.rfind('/');
  if (slash == std::string_view::npos || slash == 0) return "/";
  return std::string(executable_path.substr(0, slash));
}

Result<std::string> Application::application_directory() {
  // readlink does not say when it truncated, so grow until the answer fits with room to spare.
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return Failure{"ApplicationDirectory", errno, std::strerror(errno)};
    if (static_cast<std::size_t>(n) < buffer.size()) {
      std::string_view path(buffer.data(), static_cast<std::size_t>(n));
      if (path.empty() || path.front() != '/')
        return Failure{"ApplicationDirectory", ENOENT, "the executable has no path"};
      return directory_of(path);
    }
    if (buffer.size() >= (1u << 20)) return Failure{"ApplicationDirectory", ENAMETOOLONG, std::strerror(ENAMETOOLONG)};
    buffer.resize(buffer.size() * 2);
  }
}

void Application::end_program() {
  std::fflush(nullptr);
  ::_exit(0);
}

void Application::report_unhandled(std::string_view line) {
  std::string out(line);
  for (char& c : out)
    if (c == '\n' || c == '\r') c = ' ';
  out += '\n';
  // One write, so lines from elsewhere do not interleave with this one.
  std::size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::write(STDERR_FILENO, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace ostrael::linux_
