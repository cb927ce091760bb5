// The application object on Linux.
#include "platform/linux/application.h"

#include <link.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ostrael::linux_ {

std::string directory_of(std::string_view executable_path) {
  std::size_t slash = executable_path.rfind('/');
  if (slash == std::string_view::npos || slash == 0) return "/";
  return std::string(executable_path.substr(0, slash));
}

namespace {

Failure directory_failure(int code) { return Failure{"ApplicationDirectory", code, std::strerror(code)}; }

// /proc/self/exe as the kernel resolved it.
Result<std::string> self_exe() {
  // readlink does not say when it truncated, so grow until the answer fits with room to spare.
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return directory_failure(errno);
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
    if (buffer.size() >= (1u << 20)) return directory_failure(ENAMETOOLONG);
    buffer.resize(buffer.size() * 2);
  }
}

std::string resolve(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return {};
  std::string out(resolved);
  std::free(resolved);
  return out;
}

std::string working_directory() {
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return {};
  std::string out(cwd);
  std::free(cwd);
  return out;
}

// The first object dl_iterate_phdr reports is the main program, also when the loader started it.
int read_main_object(dl_phdr_info* info, std::size_t, void* data) {
  auto* paths = static_cast<StartPaths*>(data);
  if (info->dlpi_name) paths->link_map_name = info->dlpi_name;
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i)
    if (info->dlpi_phdr[i].p_type == PT_INTERP)
      paths->loader = reinterpret_cast<const char*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
  return 1;
}

}  // namespace

std::string program_path(const StartPaths& paths, const ResolvePath& resolve) {
  auto absolute = [&](const std::string& path) -> std::string {
    if (path.empty()) return {};
    if (path.front() == '/') return resolve(path);
    return paths.cwd.empty() ? std::string() : resolve(paths.cwd + "/" + path);
  };
  std::string loader = absolute(paths.loader);
  if (loader.empty() || paths.self_exe != loader) return paths.self_exe;
  for (const std::string* name : {&paths.execfn, &paths.link_map_name}) {
    std::string path = absolute(*name);
    if (!path.empty() && path != loader) return path;
  }
  return {};
}

namespace {

Result<std::string> running_program() {
  StartPaths paths;
  auto exe = self_exe();
  if (!exe) return exe.failure();
  paths.self_exe = std::move(*exe);
  ::dl_iterate_phdr(read_main_object, &paths);
  if (const char* execfn = reinterpret_cast<const char*>(::getauxval(AT_EXECFN))) paths.execfn = execfn;
  paths.cwd = working_directory();
  std::string path = program_path(paths, resolve);
  if (path.empty() || path.front() != '/')
    return Failure{"ApplicationDirectory", ENOENT, "the executable has no path"};
  return path;
}

}  // namespace

Application::Application() : program_(running_program()) {}

Result<std::string> Application::application_directory() {
  if (!program_) return program_.failure();
  return directory_of(*program_);
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
