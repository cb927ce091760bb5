// The Linux program run from a read-only bind mount of a pen folder under strace, with a session
// of real clicks: it must not try to create, open for writing, rename or remove anything, on the
// pen or anywhere else but the throwaway home that GTK may keep caches in.
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ui/layout.h"
#include "x_session.h"

namespace ostrael::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Calls that change the file system whatever their arguments.
const std::set<std::string> kChanging = {
    "creat",     "rename",   "renameat", "renameat2", "unlink",   "unlinkat", "rmdir",        "mkdir",
    "mkdirat",   "link",     "linkat",   "symlink",   "symlinkat", "mknod",   "mknodat",      "chmod",
    "fchmodat",  "chown",    "lchown",   "fchownat",  "truncate", "utime",    "utimes",       "utimensat",
    "futimesat", "setxattr", "lsetxattr", "removexattr", "lremovexattr", "mount", "umount2", "chroot"};

struct Attempt {
  std::string call;
  std::string path;  // absolute, lexically normal
  std::string line;
};

// The quoted strings of an strace argument list, each with the directory its descriptor
// argument names: strace -y writes "AT_FDCWD</cwd>, \"name\"" or "7</dir>, \"name\"".
std::vector<std::pair<std::string, std::string>> quoted_names(std::string_view args) {
  std::vector<std::pair<std::string, std::string>> names;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != '"') continue;
    std::string dir;
    if (i >= 3 && args.substr(i - 3, 3) == ">, ") {
      std::size_t open = args.rfind('<', i - 3);
      if (open != std::string_view::npos) dir = args.substr(open + 1, i - 3 - open - 1);
    }
    std::string name;
    for (++i; i < args.size() && args[i] != '"'; ++i) {
      if (args[i] == '\\' && i + 1 < args.size()) ++i;
      name += args[i];
    }
    names.emplace_back(dir, name);
  }
  return names;
}

// The same list with the strings taken out, so that a file named "O_CREAT" is no flag.
std::string without_strings(std::string_view args) {
  std::string out;
  bool in_string = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (in_string && args[i] == '\\') ++i;
    else if (args[i] == '"') in_string = !in_string;
    else if (!in_string) out += args[i];
  }
  return out;
}

// Each call of the trace that would write, with the path it names made absolute; a relative
// name without a descriptor's directory is relative to `cwd`.
std::vector<Attempt> writing_calls(const std::string& trace, const fs::path& cwd) {
  std::vector<Attempt> attempts;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    std::string_view rest = line;
    if (rest.starts_with("[pid")) rest.remove_prefix(std::min(rest.size(), rest.find(']') + 1));
    while (!rest.empty() && (std::isdigit(static_cast<unsigned char>(rest.front())) || rest.front() == ' '))
      rest.remove_prefix(1);
    std::size_t paren = rest.find('(');
    if (paren == std::string_view::npos || paren == 0) continue;
    std::string name(rest.substr(0, paren));
    if (name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") != std::string::npos) continue;
    std::string_view args = rest.substr(paren + 1);
    bool opens = name == "open" || name == "openat" || name == "openat2";
    bool for_writing = false;
    if (opens) {
      std::string flags = without_strings(args);
      for (const char* flag : {"O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC", "O_TMPFILE"})
        for_writing = for_writing || flags.find(flag) != std::string::npos;
    }
    if (!kChanging.count(name) && !for_writing) continue;
    for (const auto& [dir, file] : quoted_names(args)) {
      fs::path path = file;
      if (path.is_relative()) path = (dir.empty() ? cwd : fs::path(dir)) / path;
      attempts.push_back({name, path.lexically_normal().string(), line});
    }
  }
  return attempts;
}

bool is_under(const std::string& path, const fs::path& dir) {
  std::string d = dir.lexically_normal().string();
  return path == d || path.starts_with(d + "/");
}

TEST(NeverWrites, InterpretsTheTrace) {
  std::string trace =
      "123 openat(AT_FDCWD</pen>, \"/pen/message.txt\", O_RDONLY|O_CLOEXEC) = 5</pen/message.txt>\n"
      "123 openat(AT_FDCWD</pen>, \"notes.txt\", O_WRONLY|O_CREAT|O_TRUNC, 0666) = -1 EROFS\n"
      "123 openat(AT_FDCWD, \"draft.txt\", O_RDWR|O_CLOEXEC) = -1 EROFS\n"
      "124 openat(7</home/x/.cache>, \"gtk/a\", O_RDWR) = 8\n"
      "[pid   125] renameat2(AT_FDCWD, \"/pen/a\", AT_FDCWD, \"/pen/b\", RENAME_NOREPLACE <unfinished ...>\n"
      "125 <... renameat2 resumed>) = -1 EROFS\n"
      "126 statx(AT_FDCWD, \"/pen\", AT_STATX_SYNC_AS_STAT, STATX_ALL, {}) = 0\n"
      "126 openat(AT_FDCWD</pen>, \"O_CREAT \\\"x\\\"\", O_RDONLY) = -1 ENOENT\n"
      "127 mkdir(\"/pen/../elsewhere/x\", 0700) = 0\n";
  std::vector<Attempt> got = writing_calls(trace, "/pen");
  std::vector<std::string> paths;
  for (const Attempt& a : got) paths.push_back(a.call + " " + a.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"openat /pen/notes.txt", "openat /pen/draft.txt", "openat /home/x/.cache/gtk/a", "renameat2 /pen/a",
                                             "renameat2 /pen/b", "mkdir /elsewhere/x"}));
}

class ReadOnlyPen : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "a bind mount needs root";
    g_autofree char* strace = g_find_program_in_path("strace");
    if (!strace) GTEST_SKIP() << "strace is not installed";
    scratch_ = fs::temp_directory_path() / ("ostrael-never-writes-" + std::to_string(getpid()));
    fs::create_directories(scratch_ / "pen" / "photos");
    fs::create_directories(ro_ = scratch_ / "ro");
    fs::create_directories(home_ = scratch_ / "home");
    fs::copy_file(OSTRAEL_PROGRAM, scratch_ / "pen" / "ostrael");
    std::ofstream(scratch_ / "pen" / "message.txt") << "If found, please call 555-0100.\r\n";
    std::ofstream(scratch_ / "pen" / "photos" / "cat.txt") << "a cat";
    std::string source = (scratch_ / "pen").string();
    if (mount(source.c_str(), ro_.c_str(), nullptr, MS_BIND, nullptr) != 0)
      GTEST_SKIP() << "the machine refuses a bind mount: " << std::strerror(errno);
    mounted_ = true;
    if (mount(nullptr, ro_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
      GTEST_SKIP() << "the machine refuses to make the bind mount read-only: " << std::strerror(errno);
    ASSERT_FALSE(std::ofstream(ro_ / "probe")) << "the pen should be read-only";
  }
  void TearDown() override {
    if (mounted_) umount2(ro_.c_str(), MNT_DETACH);
    if (!scratch_.empty()) fs::remove_all(scratch_);
  }

  fs::path scratch_, ro_, home_;
  bool mounted_ = false;
};

TEST_F(ReadOnlyPen, ASessionOfClicksWritesNothing) {
  XServer x;
  SessionBus bus;
  fs::path log = scratch_ / "trace.log";
  std::vector<std::string> env = {x.env(), bus.env(), "HOME=" + home_.string(),
                                  "XDG_CONFIG_HOME=" + (home_ / "config").string(),
                                  "XDG_CACHE_HOME=" + (home_ / "cache").string(),
                                  "XDG_DATA_HOME=" + (home_ / "data").string(),
                                  "XDG_STATE_HOME=" + (home_ / "state").string(),
                                  "XDG_RUNTIME_DIR=" + (home_ / "runtime").string(),
                                  "NO_AT_BRIDGE=1"};
  // Started from inside the pen, as a double click in a file manager does.
  fs::path here = fs::current_path();
  fs::current_path(ro_);
  Child program = Child::start({"strace", "-f", "-qq", "-y", "-s", "4096", "-e", "trace=%file", "-o", log.string(),
                                (ro_ / "ostrael").string()},
                               env);
  fs::current_path(here);

  Input input(x.display());
  std::string caption(ui::kForm.caption);
  unsigned long window = 0;
  for (int i = 0; i < 200 && !(window = input.find_window(caption)); ++i) std::this_thread::sleep_for(50ms);
  ASSERT_NE(window, 0u) << "the window did not show";
  int wx, wy, width, height;
  ASSERT_TRUE(input.geometry(window, wx, wy, width, height));
  std::this_thread::sleep_for(300ms);
  auto click = [&](ui::ControlId id) {
    ui::Rect r = ui::client_pixels(ui::control(id));
    input.click(wx + r.left + r.width / 2, wy + r.top + r.height / 2);
    std::this_thread::sleep_for(250ms);
  };
  using ui::ControlId;
  for (ControlId id : {ControlId::Image3, ControlId::Image2, ControlId::Image3, ControlId::Image4, ControlId::Image2})
    click(id);
  std::this_thread::sleep_for(500ms);
  click(ControlId::Image1);
  ASSERT_EQ(program.wait_for_exit(10s), 0) << "Close should end the program";

  std::ifstream in(log);
  std::string trace((std::istreambuf_iterator<char>(in)), {});
  ASSERT_NE(trace.find((ro_ / "message.txt").string()), std::string::npos) << "the trace missed the program's reads";
  for (const Attempt& a : writing_calls(trace, ro_)) {
    if (is_under(a.path, home_) || is_under(a.path, "/dev")) continue;  // GTK's caches; /dev/null
    ADD_FAILURE() << a.call << " on " << a.path << "\n  " << a.line;
  }
}

}  // namespace
}  // namespace ostrael::testing
