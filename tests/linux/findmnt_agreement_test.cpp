// The mount the drive provider finds for a folder, against `findmnt --target` on real mounts made
// here: names the kernel escapes, a bind mount, stacked mounts, a btrfs subvolume, exFAT over FUSE
// and a pulled pen. Needs root, loop devices and FUSE; a case whose tools are missing is skipped.
#include <sys/mount.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>

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
std::string unescape_raw(std::string field) {
  for (std::size_t at = 0; (at = field.find("\\x", at)) != std::string::npos && at + 3 < field.size(); ++at)
    field.replace(at, 4, 1, static_cast<char>(std::stoi(field.substr(at + 2, 2), nullptr, 16)));
  return field;
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

// What findmnt names for `folder`. By default it searches the table forwards and names the lowest
// of mounts stacked on one folder; backwards it names the one on top first, whose files the folder
// shows. A folder that cannot be stat'ed, nor so asked for with --target, is compared with the
// whole table's row for the mount point just above it.
std::optional<Seen> findmnt_expects(const std::string& folder, bool stat_fails) {
  if (!stat_fails) {
    auto rows = findmnt_rows({"--target", folder, "--direction", "backward"});
    return rows.empty() ? std::nullopt : std::optional<Seen>(rows.front());
  }
  std::optional<Seen> last;
  for (const Seen& row : findmnt_rows({}))
    if (row.target == fs::path(folder).parent_path()) last = row;
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

// Why the machine refused what a case asked of it.
struct Refused {
  std::string why;
};

// The mounts, loop devices and FUSE daemons a case makes, undone in reverse at the end.
class Scene {
 public:
  explicit Scene(const testing::TempDir& dir) : dir_(dir) {}
  ~Scene() {
    while (!held_.empty()) held_.pop_back();
  }

  std::string dir(const std::string& name) {
    std::string path = dir_ / name;
    fs::create_directories(path);
    return path;
  }
  void mount(const std::vector<std::string>& argv, const std::string& at) {
    if (auto done = run(argv); done.status != 0) throw Refused{argv[0] + " refused: " + done.output};
    mounted(at);
  }
  void mounted(const std::string& at) { hold(std::make_shared<testing::Mounted>(at)); }
  std::string tmpfs(const std::string& name, const std::string& source = "ostrael-pen") {
    std::string at = dir(name);
    mount({"mount", "-t", "tmpfs", source, at}, at);
    return at;
  }
  // A loop device over a fresh image made by `mkfs`.
  std::string image(const std::vector<std::string>& mkfs, const std::string& name) {
    std::string file = dir_ / name;
    testing::make_sparse_file(file, 128 << 20);
    std::vector<std::string> argv = mkfs;
    argv.push_back(file);
    if (auto made = run(argv); made.status != 0) throw Refused{mkfs[0] + " failed: " + made.output};
    auto& loop = hold(std::make_shared<testing::LoopDevice>(file));
    if (loop.device().empty()) throw Refused{"losetup refused: " + loop.error()};
    return loop.device();
  }
  template <class T>
  T& hold(std::shared_ptr<T> thing) {
    held_.push_back(thing);
    return *thing;
  }

 private:
  const testing::TempDir& dir_;
  std::vector<std::shared_ptr<void>> held_;
};

struct Case {
  const char* name;
  std::vector<const char*> tools;
  // Makes the mounts and returns the folder to look up; throws Refused when the machine refuses.
  std::function<std::string(Scene&)> make;
  bool stat_fails = false;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string escaped_name(Scene& s, const std::string& name) {
  std::string at = s.tmpfs(name);
  fs::create_directory(at + "/tools");
  return at + "/tools";
}

const Case kCases[] = {
    {"MountPointWithSpace", {}, [](Scene& s) { return escaped_name(s, "OWNER PEN"); }},
    {"MountPointWithTab", {}, [](Scene& s) { return escaped_name(s, "OWNER\tPEN"); }},
    {"MountPointWithBackslash", {}, [](Scene& s) { return escaped_name(s, "OWNER\\PEN"); }},
    {"MountPointWithNewline", {}, [](Scene& s) { return escaped_name(s, "OWNER\nPEN"); }},
    {"BindMount", {},
     [](Scene& s) {
       std::string pen = s.tmpfs("pen"), bound = s.dir("bound");
       fs::create_directories(pen + "/tools/inner");
       s.mount({"mount", "--bind", pen + "/tools", bound}, bound);
       return bound + "/inner";
     }},
    {"StackedMountsTopOneCounts", {},
     [](Scene& s) {
       s.tmpfs("stacked", "ostrael-below");
       return s.tmpfs("stacked", "ostrael-on-top");
     }},
    {"BtrfsSubvolume", {"mkfs.btrfs", "btrfs"},
     [](Scene& s) {
       std::string loop = s.image({"mkfs.btrfs", "-q", "-L", "OWNERPEN"}, "btrfs.img");
       std::string top = s.dir("btrfs top"), sub = s.dir("btrfs sub");
       s.mount({"mount", loop, top}, top);
       if (auto made = run({"btrfs", "subvolume", "create", top + "/@pen"}); made.status != 0)
         throw Refused{"btrfs subvolume create failed: " + made.output};
       s.mount({"mount", "-o", "subvol=@pen", loop, sub}, sub);
       return sub;
     }},
    {"ExfatPenOverFuse", {"mkfs.exfat", "mount.exfat-fuse"},
     [](Scene& s) {
       std::string loop = s.image({"mkfs.exfat", "-L", "OWNERPEN"}, "exfat.img");
       std::string pen = s.dir("EXFAT PEN");
       s.mount({"mount.exfat-fuse", loop, pen}, pen);
       return pen;
     }},
    // A pulled pen whose FUSE daemon is gone: its mount is still in the table, but stat fails.
    {"PulledPenDeadFuseMount", {"mkntfs", "ntfs-3g"},
     [](Scene& s) {
       std::string loop = s.image({"mkntfs", "-F", "-Q", "-q", "-L", "OWNERPEN"}, "ntfs.img");
       std::string pen = s.dir("NTFS PEN");
       int pid = testing::spawn({"ntfs-3g", "-o", "no_detach", loop, pen});
       if (pid <= 0) throw Refused{"ntfs-3g did not start"};
       auto& daemon = s.hold(std::make_shared<testing::Daemon>(pid));
       if (!testing::wait_for_mount(pen)) throw Refused{"ntfs-3g did not mount"};
       s.mounted(pen);
       fs::create_directory(pen + "/tools");
       daemon.kill();
       return pen + "/tools";
     },
     true},
    // The desktop unmounts a pulled pen lazily: its mount point is an empty folder below.
    {"PulledPenLazilyUnmounted", {},
     [](Scene& s) {
       std::string pen = s.tmpfs("LAZY PEN");
       ::umount2(pen.c_str(), MNT_DETACH);
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
  std::string folder;
  try {
    folder = GetParam().make(scene);
  } catch (const Refused& refused) {
    GTEST_SKIP() << refused.why;
  }

  auto expected = findmnt_expects(folder, GetParam().stat_fails);
  ASSERT_TRUE(expected) << "findmnt found nothing for " << folder;
  // On the live table the provider asks the kernel for the folder's mount id; on a copy of it,
  // where ids mean nothing, it walks up the folder's names.
  Roots copied;
  copied.mountinfo = dir / "mountinfo";
  // proc files say they are empty, so copy_file would copy nothing
  std::ofstream(copied.mountinfo) << std::ifstream("/proc/self/mountinfo").rdbuf();
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
