// The provider on real mounts: an ext4 loop mount, a bind mount and a symlink into it, NTFS
// through ntfs-3g, and a FUSE daemon killed under the program. Needs root, loop devices and FUSE.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/ostraelen.h"
#include "platform/linux/drive_provider.h"
#include "platform/linux/file_input.h"
#include "platform/linux/text_conversions.h"
#include "test_support.h"

namespace ostrael::linux_ {
namespace {

namespace fs = std::filesystem;
using testing::LoopDevice;
using testing::make_sparse_file;
using testing::ntfs_boot_sector_serial;
using testing::Mounted;
using testing::run;
using testing::TempDir;

constexpr const char* kUuid = "3e6be9de-8139-11d1-9106-a43f08d823a6";

// Empty when the machine lets this test make loop devices and mounts, with the FUSE program if
// one is named; otherwise why not.
std::string mount_refusal(const std::string& fuse_program = {}) {
  if (::geteuid() != 0) return "not root: loop devices and mounts need root";
  if (::access("/dev/loop-control", R_OK | W_OK) != 0) return "no usable /dev/loop-control";
  if (fuse_program.empty()) return {};
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return "no usable /dev/fuse";
  if (!testing::have_program(fuse_program)) return fuse_program + " is not installed";
  return {};
}

std::unique_ptr<Drive> drive_of(DriveProvider& provider, const std::string& path, std::string* name = nullptr) {
  auto fso = provider.create_file_system_object();
  if (!fso) return nullptr;
  auto drive_name = (*fso)->get_drive_name(path);
  if (!drive_name) return nullptr;
  if (name) *name = *drive_name;
  auto drive = (*fso)->get_drive(*drive_name);
  return drive ? std::move(*drive) : nullptr;
}

// The form's report over the real Linux services, with the window replaced by a recorder.
struct ReportRun : Application, Controls, Shell {
  std::string directory;
  std::vector<std::string> lines;
  bool text1_visible = true;
  FileInput files;
  TextConversions text{"C"};
  DriveProvider drives;

  Result<std::string> application_directory() override { return directory; }
  void end_program() override {}
  void report_unhandled(std::string_view) override {}
  Status set_text1_text(std::string_view) override { return {}; }
  Status set_text1_visible(bool visible) override {
    text1_visible = visible;
    return {};
  }
  Status clear_list1() override {
    lines.clear();
    return {};
  }
  Status add_list1_line(std::string_view line) override {
    lines.emplace_back(line);
    return {};
  }
  Status open_folder(std::string_view) override { return {}; }

  Status click_pen_info() {
    Platform platform{*this, *this, files, text, drives, *this};
    ostraelen form(platform);
    return form.Image3_Click();
  }
};

// Free and total bytes as df counts them.
std::pair<double, double> df_bytes(const std::string& dir) {
  auto result = run({"df", "-B1", "--output=avail,size", dir});
  std::istringstream out(result.output);
  std::string header;
  std::getline(out, header);
  double avail = -1, size = -1;
  out >> avail >> size;
  return {avail, size};
}

TEST(RealMount, Ext4LoopMountWithSpacesBindMountAndSymlink) {
  if (auto why = mount_refusal(); !why.empty()) GTEST_SKIP() << why;
  TempDir dir("ostrael real mount");
  std::string image = dir / "pen.img";
  make_sparse_file(image, 16 << 20);
  auto made = run({"mkfs.ext4", "-q", "-F", "-L", "OWNER PEN", "-U", kUuid, image});
  ASSERT_EQ(made.status, 0) << made.output;
  LoopDevice loop(image);
  if (loop.device().empty()) GTEST_SKIP() << "losetup refused: " << loop.error();

  std::string pen = dir / "pen drive";
  fs::create_directory(pen);
  if (::mount(loop.device().c_str(), pen.c_str(), "ext4", 0, nullptr) != 0)
    GTEST_SKIP() << "mount refused: " << std::strerror(errno);
  Mounted pen_mount(pen);
  std::string program_dir = pen + "/tools $(touch x) \xC3\xA9";
  fs::create_directory(program_dir);
  testing::write_file(program_dir + "/filler", std::string(300000, 'x'));
  ::sync();

  DriveProvider provider;
  std::string name;
  auto drive = drive_of(provider, program_dir, &name);
  ASSERT_TRUE(drive);
  EXPECT_EQ(name, pen);
  EXPECT_EQ(*drive->path(), pen);
  EXPECT_EQ(*drive->drive_letter(), "");
  EXPECT_EQ(*drive->drive_type(), 2);  // a loop device is a fixed disk
  EXPECT_EQ(*drive->file_system(), "ext4");
  EXPECT_TRUE(*drive->is_ready());
  EXPECT_EQ(*drive->serial_number(), 0x3e6be9de);
  EXPECT_EQ(*drive->volume_name(), "OWNER PEN");
  auto [df_free, df_total] = df_bytes(pen);
  EXPECT_EQ(*drive->free_space(), df_free);
  EXPECT_EQ(*drive->total_size(), df_total);
  struct statvfs st;
  ASSERT_EQ(::statvfs(pen.c_str(), &st), 0);
  EXPECT_EQ(*drive->total_size(), static_cast<double>(st.f_blocks) * static_cast<double>(st.f_frsize));

  // The whole report, as the form builds it.
  ReportRun report;
  report.directory = program_dir;
  ASSERT_TRUE(report.click_pen_info());
  ASSERT_EQ(report.lines.size(), 10u);
  EXPECT_EQ(report.lines[3], "File System: ext4");
  EXPECT_EQ(report.lines[6], "Pen Path: " + pen);
  EXPECT_EQ(report.lines[7], "Serial Number: 1047259614");
  EXPECT_EQ(report.lines[9], "Volume Name: OWNER PEN");
  EXPECT_FALSE(report.text1_visible);

  // With no udev data and no device node to probe, the kernel still gives the label.
  fs::create_directory(dir / "empty sysfs");
  fs::create_directory(dir / "empty udev");
  DriveProvider blind(Roots{"/proc/self/mountinfo", dir / "empty sysfs", dir / "empty udev", dir / "no dev"});
  auto blind_drive = drive_of(blind, program_dir);
  ASSERT_TRUE(blind_drive);
  EXPECT_EQ(*blind_drive->volume_name(), "OWNER PEN");
  EXPECT_EQ(*blind_drive->file_system(), "ext4");
  EXPECT_EQ(*blind_drive->serial_number(), 0);
  EXPECT_EQ(*blind_drive->drive_type(), 0);

  // A bind mount of the program's directory is its own mount of the same drive.
  std::string bound = dir / "bound view";
  fs::create_directory(bound);
  ASSERT_EQ(::mount(program_dir.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr), 0) << std::strerror(errno);
  Mounted bind_mount(bound);
  auto via_bind = drive_of(provider, bound);
  ASSERT_TRUE(via_bind);
  EXPECT_EQ(*via_bind->path(), bound);
  EXPECT_EQ(*via_bind->file_system(), "ext4");
  EXPECT_EQ(*via_bind->serial_number(), 0x3e6be9de);
  EXPECT_EQ(*via_bind->volume_name(), "OWNER PEN");
  EXPECT_EQ(*via_bind->total_size(), *drive->total_size());
  EXPECT_EQ(*via_bind->drive_type(), 2);

  // A symlink to the program's directory leads to the drive it points into.
  std::string link = dir / "link to tools";
  fs::create_directory_symlink(program_dir, link);
  std::string link_name;
  auto via_link = drive_of(provider, link, &link_name);
  ASSERT_TRUE(via_link);
  EXPECT_EQ(link_name, pen);
  EXPECT_EQ(*via_link->serial_number(), 0x3e6be9de);
}

// A FAT16 pen named "JÖRG" in Windows: Windows writes the label in the OEM code page, 4A 99 52 47,
// in the boot sector and in the root directory's volume entry. fusefat stands in for the kernel's
// vfat, which this machine may lack, and names the loop device and the type as vfat would.
TEST(RealMount, FatLabelWrittenByWindowsReadsAsWindowsShowsIt) {
  if (auto why = mount_refusal("fusefat"); !why.empty()) GTEST_SKIP() << why;
  TempDir dir("ostrael fat");
  std::string image = dir / "pen.img";
  make_sparse_file(image, 8 << 20);
  auto made = run({"mkfs.fat", "-F", "16", "-s", "1", "-i", "8A4C1E3D", "-n", "JXRG", image});
  ASSERT_EQ(made.status, 0) << made.output;
  std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
  std::string content{std::istreambuf_iterator<char>(file), {}};
  std::vector<std::size_t> labels;
  for (std::size_t at = 0; (at = content.find("JXRG       ", at)) != std::string::npos; ++at) labels.push_back(at);
  ASSERT_EQ(labels.size(), 2u);
  ASSERT_EQ(labels[0], 0x2Bu);  // the boot sector's; the other is the root directory's
  file.clear();
  for (std::size_t at : labels) file.seekp(static_cast<std::streamoff>(at + 1)).put('\x99');
  file.close();
  LoopDevice loop(image);
  if (loop.device().empty()) GTEST_SKIP() << "losetup refused: " << loop.error();
  std::string pen = dir / "pen";
  fs::create_directory(pen);
  auto mounted = run({"fusefat", "-o", "ro,fsname=" + loop.device() + ",subtype=vfat", loop.device(), pen});
  Mounted pen_mount(pen);
  if (mounted.status != 0) GTEST_SKIP() << "fusefat refused: " << mounted.output;
  ASSERT_EQ(testing::live_fs_type_at(pen), "fuse.vfat");

  ReportRun report;
  report.directory = pen;
  ASSERT_TRUE(report.click_pen_info());
  auto [df_free, df_total] = df_bytes(pen);  // zeros: fusefat's statvfs gives none
  auto kb = [](double bytes) { return std::to_string(static_cast<long long>(bytes) / 1024) + " Kb"; };
  EXPECT_EQ(report.lines, (std::vector<std::string>{"[Pen Information]", "Pen Letter: ", "Pen Type: 2",
                                                    "File System: FAT", "Free Space: " + kb(df_free),
                                                    "Pen Ready: True", "Pen Path: " + pen,
                                                    "Serial Number: -1974723011", "Total Size: " + kb(df_total),
                                                    "Volume Name: J\xC3\x96RG"}));
}

// An NTFS image labelled OWNERPEN on a loop device, and an empty folder to mount it on.
class NtfsPen : public ::testing::Test {
 protected:
  void SetUp() override {
    if (auto why = mount_refusal("ntfs-3g"); !why.empty()) GTEST_SKIP() << why;
    make_sparse_file(image, 16 << 20);
    auto made = run({"mkntfs", "-F", "-Q", "-q", "-L", "OWNERPEN", image});
    ASSERT_EQ(made.status, 0) << made.output;
    loop = std::make_unique<LoopDevice>(image);
    if (loop->device().empty()) GTEST_SKIP() << "losetup refused: " << loop->error();
    fs::create_directory(pen);
  }

  TempDir dir{"ostrael ntfs"};
  std::string image = dir / "pen.img";
  std::string pen = dir / "pen";
  std::unique_ptr<LoopDevice> loop;
};

TEST_F(NtfsPen, NtfsThroughNtfs3gIsNamedNtfs) {
  auto mounted = run({"ntfs-3g", loop->device(), pen});
  Mounted pen_mount(pen);
  if (mounted.status != 0) GTEST_SKIP() << "ntfs-3g refused: " << mounted.output;

  EXPECT_EQ(testing::live_fs_type_at(pen), "fuseblk");

  DriveProvider provider;
  auto drive = drive_of(provider, pen);
  ASSERT_TRUE(drive);
  EXPECT_EQ(*drive->file_system(), "NTFS");
  EXPECT_EQ(*drive->volume_name(), "OWNERPEN");
  EXPECT_EQ(*drive->serial_number(), ntfs_boot_sector_serial(image));
  EXPECT_EQ(*drive->drive_type(), 2);
  EXPECT_TRUE(*drive->is_ready());
}

// A pulled drive: first its FUSE daemon dies with the mount still in the table, then the
// desktop unmounts it lazily and leaves the empty mount point on the disk below.
TEST_F(NtfsPen, KilledFuseDaemonLeavesADriveThatIsNotReadyThenNotFound) {
  testing::Daemon daemon(testing::spawn({"ntfs-3g", "-o", "no_detach", loop->device(), pen}));
  Mounted pen_mount(pen);
  if (!testing::wait_for_mount(pen)) GTEST_SKIP() << "ntfs-3g did not mount";
  std::string program_dir = pen + "/tools";
  fs::create_directory(program_dir);
  DriveProvider provider;  // made at the program's start, while the drive is in

  daemon.kill();
  struct statvfs st;
  ASSERT_NE(::statvfs(pen.c_str(), &st), 0);
  EXPECT_EQ(errno, ENOTCONN);

  std::string name;
  auto drive = drive_of(provider, program_dir, &name);
  ASSERT_TRUE(drive);
  EXPECT_EQ(name, pen);
  EXPECT_EQ(*drive->path(), pen);
  EXPECT_EQ(*drive->drive_letter(), "");
  EXPECT_EQ(*drive->drive_type(), 2);
  EXPECT_FALSE(*drive->is_ready());
  for (auto failed : {drive->free_space().failure().code, drive->total_size().failure().code,
                      drive->file_system().failure().code, drive->serial_number().failure().code,
                      drive->volume_name().failure().code})
    EXPECT_EQ(failed, ENOTCONN);

  // The report stops at line 4 and leaves the message showing.
  ReportRun report;
  report.directory = program_dir;
  Status status = report.click_pen_info();
  ASSERT_FALSE(status);
  EXPECT_EQ(status.failure().operation, "FileSystem");
  EXPECT_EQ(report.lines, (std::vector<std::string>{"[Pen Information]", "Pen Letter: ", "Pen Type: 2"}));
  EXPECT_TRUE(report.text1_visible);

  // Unmounted: the mount point is an empty folder on the disk below, never the pen.
  ASSERT_EQ(::umount2(pen.c_str(), MNT_DETACH), 0) << std::strerror(errno);
  ASSERT_EQ(::statvfs(pen.c_str(), &st), 0);
  for (const std::string& path : {pen, program_dir}) {
    SCOPED_TRACE(path);
    auto fso = std::move(*provider.create_file_system_object());
    EXPECT_FALSE(fso->get_drive_name(path));
    EXPECT_FALSE(fso->get_drive(path));
  }
  report.directory = pen;
  report.lines = {"from before"};
  status = report.click_pen_info();
  ASSERT_FALSE(status);
  EXPECT_EQ(status.failure().operation, "GetDriveName");
  EXPECT_TRUE(report.lines.empty());
  EXPECT_TRUE(report.text1_visible);
}

}  // namespace
}  // namespace ostrael::linux_
