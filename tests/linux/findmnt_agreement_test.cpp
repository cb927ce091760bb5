// The mount the drive provider finds for a folder, against `findmnt --target` on real mounts made
// here: names the kernel escapes, a bind mount, stacked mounts, a btrfs subvolume, exFAT over FUSE
// and a pulled pen. Needs root, loop devices and FUSE; a case whose tools are missing is skipped.
#include <signal.h>
#include <sys/mount.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/linux/drive_provider.h"
#include "test_support.h"

namespace ostrael::linux_ {
namespace {

namespace fs = std::filesystem;
using testing::run;

struct Seen {
  std::string target, fs_type, source, devnum;
};

// findmnt's raw output writes a byte it would not show as \xHH.
std::string unescape_raw(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(field.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<Seen> findmnt_rows(const std::vector<std::string>& how) {
  std::vector<std::string> argv{"findmnt", "--noheadings", "--raw", "--output", "TARGET,FSTYPE,SOURCE,MAJ:MIN"};
  argv.insert(argv.end(), how.begin(), how.end());
  auto found = run(argv);
  std::vector<Seen> rows;
  if (found.status != 0) return rows;
  std::istringstream lines(found.output);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream words(line);
    for (std::string word; std::getline(words, word, ' ');) fields.push_back(unescape_raw(word));
    if (fields.size() == 4) rows.push_back(Seen{fields[0], fields[1], fields[2], fields[3]});
  }
  return rows;
}

// By default findmnt searches the table forwards and names the lowest of mounts stacked on one
// folder; backwards it names the one on top first, whose files the folder shows.
std::optional<Seen> findmnt_target(const std::string& dir) {
  auto rows = findmnt_rows({"--target", dir, "--direction", "backward"});
  if (rows.empty()) return std::nullopt;
  return rows.front();
}

// The row of the whole table for the mount on `mount_point`, for a mount findmnt cannot stat.
std::optional<Seen> findmnt_listed(const std::string& mount_point) {
  std::optional<Seen> last;
  for (const Seen& row : findmnt_rows({}))
    if (row.target == mount_point) last = row;
  return last;
}

std::optional<Seen> provider_finds(const std::string& dir, const Roots& roots = Roots{}) {
  auto mount = find_mount(dir, roots);
  if (!mount) return std::nullopt;
  // findmnt names the folder a bind mount or subvolume shows after its source.
  std::string source = mount->root == "/" ? mount->source : mount->source + "[" + mount->root + "]";
  return Seen{mount->mount_point, mount->fs_type, source,
              std::to_string(major(mount->device)) + ":" + std::to_string(minor(mount->device))};
}

// The mounts, loop devices and FUSE daemons a case makes, undone in reverse at the end.
class Scene {
 public:
  explicit Scene(const testing::TempDir& dir) : dir_(dir) {}
  ~Scene() {
    for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it)
      if (::umount2(it->c_str(), 0) != 0) ::umount2(it->c_str(), MNT_DETACH);
    for (int pid : daemons_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    for (const std::string& loop : loops_) (void)run({"losetup", "-d", loop});
  }

  std::string dir(const std::string& name) {
    std::string path = dir_ / name;
    fs::create_directories(path);
    return path;
  }
  // False, with the reason in why(), when the machine refuses.
  bool mount(const std::vector<std::string>& argv, const std::string& at) {
    auto done = run(argv);
    if (done.status != 0) {
      refuse(argv[0] + " refused: " + done.output);
      return false;
    }
    mounts_.push_back(at);
    return true;
  }
  bool tmpfs(const std::string& source, const std::string& at) {
    return mount({"mount", "-t", "tmpfs", source, at}, at);
  }
  std::string image(const std::vector<std::string>& mkfs, const std::string& name) {
    std::string file = dir_ / name;
    testing::make_sparse_file(file, 128 << 20);
    std::vector<std::string> argv = mkfs;
    argv.push_back(file);
    if (auto made = run(argv); made.status != 0) return refuse(mkfs[0] + " failed: " + made.output);
    auto loop = run({"losetup", "--find", "--show", file});
    if (loop.status != 0) return refuse("losetup refused: " + loop.output);
    loops_.push_back(loop.output.substr(0, loop.output.find('\n')));
    return loops_.back();
  }
  void keep_mount(const std::string& at) { mounts_.push_back(at); }
  void forget_mount(const std::string& at) { std::erase(mounts_, at); }
  void add_daemon(int pid) { daemons_.push_back(pid); }
  // Keeps why the machine refused, and gives the empty folder name that says so.
  std::string refuse(const std::string& why) {
    why_ = why;
    return "";
  }
  const std::string& why() const { return why_; }

 private:
  const testing::TempDir& dir_;
  std::vector<std::string> mounts_, loops_;
  std::vector<int> daemons_;
  std::string why_;
};

bool wait_until_mounted(const std::string& dir) {
  for (int i = 0; i < 100; ++i) {
    if (run({"findmnt", "--mountpoint", dir}).status == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

struct Case {
  const char* name;
  std::vector<const char*> tools;
  // Makes the mounts and returns the folder to look up; empty when the machine refuses.
  std::function<std::string(Scene&)> make;
  // The folder cannot be stat'ed, nor so asked for with --target: it is compared with the table's
  // row for the mount point just above it.
  bool stat_fails = false;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string escaped_name(Scene& s, const std::string& name) {
  std::string at = s.dir(name);
  if (!s.tmpfs("ostrael-pen", at)) return "";
  fs::create_directory(at + "/tools");
  return at + "/tools";
}

const Case kCases[] = {
    {"MountPointWithSpace", {}, [](Scene& s) { return escaped_name(s, "OWNER PEN"); }},
    {"MountPointWithTab", {}, [](Scene& s) { return escaped_name(s, "OWNER\tPEN"); }},
    {"MountPointWithBackslash", {}, [](Scene& s) { return escaped_name(s, "OWNER\\PEN"); }},
    {"MountPointWithNewline", {}, [](Scene& s) { return escaped_name(s, "OWNER\nPEN"); }},
    {"BindMount", {},
     [](Scene& s) -> std::string {
       std::string pen = s.dir("pen"), bound = s.dir("bound");
       if (!s.tmpfs("ostrael-pen", pen)) return "";
       fs::create_directories(pen + "/tools/inner");
       if (!s.mount({"mount", "--bind", pen + "/tools", bound}, bound)) return "";
       return bound + "/inner";
     }},
    {"StackedMountsTopOneCounts", {},
     [](Scene& s) -> std::string {
       std::string at = s.dir("stacked");
       if (!s.tmpfs("ostrael-below", at) || !s.tmpfs("ostrael-on-top", at)) return "";
       return at;
     }},
    {"BtrfsSubvolume", {"mkfs.btrfs", "btrfs"},
     [](Scene& s) -> std::string {
       std::string loop = s.image({"mkfs.btrfs", "-q", "-L", "OWNERPEN"}, "btrfs.img");
       if (loop.empty()) return "";
       std::string top = s.dir("btrfs top"), sub = s.dir("btrfs sub");
       if (!s.mount({"mount", loop, top}, top)) return "";
       if (auto made = run({"btrfs", "subvolume", "create", top + "/@pen"}); made.status != 0)
         return s.refuse("btrfs subvolume create failed: " + made.output);
       if (!s.mount({"mount", "-o", "subvol=@pen", loop, sub}, sub)) return "";
       return sub;
     }},
    {"ExfatPenOverFuse", {"mkfs.exfat", "mount.exfat-fuse"},
     [](Scene& s) -> std::string {
       std::string loop = s.image({"mkfs.exfat", "-L", "OWNERPEN"}, "exfat.img");
       std::string pen = s.dir("EXFAT PEN");
       if (loop.empty() || !s.mount({"mount.exfat-fuse", loop, pen}, pen)) return "";
       return pen;
     }},
    // A pulled pen whose FUSE daemon is gone: its mount is still in the table, but stat fails.
    {"PulledPenDeadFuseMount", {"mkntfs", "ntfs-3g"},
     [](Scene& s) -> std::string {
       std::string loop = s.image({"mkntfs", "-F", "-Q", "-q", "-L", "OWNERPEN"}, "ntfs.img");
       std::string pen = s.dir("NTFS PEN");
       if (loop.empty()) return "";
       int daemon = testing::spawn({"ntfs-3g", "-o", "no_detach", loop, pen});
       if (daemon <= 0) return s.refuse("ntfs-3g did not start");
       s.add_daemon(daemon);
       if (!wait_until_mounted(pen)) return s.refuse("ntfs-3g did not mount");
       s.keep_mount(pen);
       fs::create_directory(pen + "/tools");
       ::kill(daemon, SIGKILL);
       ::waitpid(daemon, nullptr, 0);
       return pen + "/tools";
     },
     true},
    // The desktop unmounts a pulled pen lazily: its mount point is an empty folder below.
    {"PulledPenLazilyUnmounted", {},
     [](Scene& s) -> std::string {
       std::string pen = s.dir("LAZY PEN");
       if (!s.tmpfs("ostrael-pen", pen)) return "";
       ::umount2(pen.c_str(), MNT_DETACH);
       s.forget_mount(pen);
       return pen;
     }},
};

class FindmntAgreement : public ::testing::TestWithParam<Case> {};

TEST_P(FindmntAgreement, ProviderFindsTheMountFindmntFinds) {
  if (::geteuid() != 0) GTEST_SKIP() << "not root: mounts need root";
  if (!testing::have_program("findmnt")) GTEST_SKIP() << "findmnt is not installed";
  for (const char* tool : GetParam().tools)
    if (!testing::have_program(tool)) GTEST_SKIP() << tool << " is not installed";
  testing::TempDir dir("ostrael findmnt");
  Scene scene(dir);
  std::string folder = GetParam().make(scene);
  if (folder.empty()) GTEST_SKIP() << scene.why();

  auto expected = GetParam().stat_fails ? findmnt_listed(fs::path(folder).parent_path()) : findmnt_target(folder);
  ASSERT_TRUE(expected) << "findmnt found nothing for " << folder;
  // On the live table the provider asks the kernel for the folder's mount id; on a copy of it,
  // where ids mean nothing, it walks up the folder's names.
  std::string copy = dir / "mountinfo";
  std::ifstream live("/proc/self/mountinfo");  // proc files say they are empty: copy_file copies nothing
  std::ostringstream table;
  table << live.rdbuf();
  testing::write_file(copy, table.str());
  Roots copied;
  copied.mountinfo = copy;
  for (const Roots& roots : {Roots{}, copied}) {
    SCOPED_TRACE(roots.mountinfo);
    auto found = provider_finds(folder, roots);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->target, expected->target);
    EXPECT_EQ(found->fs_type, expected->fs_type);
    EXPECT_EQ(found->source, expected->source);
    EXPECT_EQ(found->devnum, expected->devnum);
  }
}

INSTANTIATE_TEST_SUITE_P(, FindmntAgreement, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace ostrael::linux_
