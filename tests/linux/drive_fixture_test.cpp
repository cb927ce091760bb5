// The drive provider over fixture sysfs, udev database and mountinfo: a USB pen, an internal
// disk, a CD, RAM and network mounts, without any real device.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/linux/drive_provider.h"
#include "test_support.h"

namespace ostrael::linux_ {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::write_file;

// A sysfs with three disks: a USB pen with one partition, an NVMe disk and a SATA CD drive.
class DriveFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    sys_ = dir_ / "sys";
    std::string usb = sys_ + "/devices/pci0000:00/0000:00:14.0/usb2/2-1";
    // removable is 0, as on many USB disks: the bus alone makes it removable.
    add_disk(usb + "/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb", "8:16", "0", "0");
    add_partition(usb + "/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb/sdb1", "8:17", "sdb1");
    add_disk(sys_ + "/devices/pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1", "259:0", "0", "");
    add_partition(sys_ + "/devices/pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1/nvme0n1p2", "259:2", "nvme0n1p2");
    add_disk(sys_ + "/devices/pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0/block/sr0", "11:0", "1", "5");
    add_disk(sys_ + "/devices/virtual/block/loop0", "7:0", "0", "");
    fs::create_directories(sys_ + "/bus/usb");
    fs::create_directories(sys_ + "/bus/pci");
    fs::create_directory_symlink(sys_ + "/bus/usb", usb + "/subsystem");
    fs::create_directory_symlink(sys_ + "/bus/pci", sys_ + "/devices/pci0000:00/0000:00:14.0/subsystem");

    udev_ = dir_ / "udev";
    fs::create_directories(udev_);
    write_file(udev_ + "/b8:17",
               "S:disk/by-uuid/8A4C-1E3D\nE:ID_BUS=usb\nE:ID_FS_TYPE=vfat\nE:ID_FS_VERSION=FAT32\n"
               "E:ID_FS_LABEL=OWNER_PEN\nE:ID_FS_LABEL_ENC=OWNER\\x20PEN\nE:ID_FS_UUID_ENC=8A4C-1E3D\n");
    write_file(udev_ + "/b11:0", "E:ID_CDROM=1\nE:ID_FS_TYPE=iso9660\nE:ID_FS_LABEL_ENC=PHOTOS\\x202019\n");
    write_file(udev_ + "/b259:2", "E:ID_FS_TYPE=ext4\nE:ID_FS_VERSION=1.0\nE:ID_FS_UUID_ENC=3e6be9de-8139-11d1-9106-a43f08d823a6\n");
    // "JÖRG" as Windows writes it on FAT, in the OEM code page, and as exFAT keeps it, in UTF-16.
    write_file(udev_ + "/b8:33", "E:ID_FS_TYPE=vfat\nE:ID_FS_VERSION=FAT16\nE:ID_FS_LABEL_ENC=J\\x9bRG\n");
    write_file(udev_ + "/b8:34", "E:ID_FS_TYPE=exfat\nE:ID_FS_LABEL_ENC=J\xC3\x96RG\n");

    mnt_ = dir_ / "mnt";
    fs::create_directories(mnt_ + "/OWNER PEN/tools");
  }

  void add_disk(const std::string& dir, const std::string& devnum, const std::string& removable, const std::string& type) {
    fs::create_directories(dir + "/device");
    write_file(dir + "/removable", removable + "\n");
    if (!type.empty()) write_file(dir + "/device/type", type + "\n");
    write_file(dir + "/uevent", "DEVNAME=" + fs::path(dir).filename().string() + "\n");
    link_devnum(dir, devnum);
  }
  void add_partition(const std::string& dir, const std::string& devnum, const std::string& name) {
    fs::create_directories(dir);
    write_file(dir + "/partition", "1\n");
    write_file(dir + "/uevent", "DEVNAME=" + name + "\n");
    link_devnum(dir, devnum);
  }
  void link_devnum(const std::string& dir, const std::string& devnum) {
    fs::create_directories(sys_ + "/dev/block");
    fs::create_directory_symlink(dir, sys_ + "/dev/block/" + devnum);
  }

  // A provider whose mount table is `lines`, each with "@" standing for the fixture's mount dir.
  DriveProvider provider(std::string lines) {
    std::string escaped;
    for (char c : mnt_) escaped += c == ' ' ? std::string("\\040") : std::string(1, c);
    for (std::size_t at; (at = lines.find('@')) != std::string::npos;) lines.replace(at, 1, escaped);
    write_file(dir_ / "mountinfo", "1 0 254:0 / / rw - ext4 /dev/vda rw\n" + lines);
    return DriveProvider(Roots{dir_ / "mountinfo", sys_, udev_, dir_ / "dev"});
  }

  std::unique_ptr<Drive> drive_at(DriveProvider& p, const std::string& path) {
    auto fso = p.create_file_system_object();
    EXPECT_TRUE(fso);
    auto name = (*fso)->get_drive_name(path);
    EXPECT_TRUE(name);
    auto drive = (*fso)->get_drive(*name);
    EXPECT_TRUE(drive);
    return drive ? std::move(*drive) : nullptr;
  }

  TempDir dir_{"ostrael fixture"};
  std::string sys_, udev_, mnt_;
};

TEST_F(DriveFixture, UsbPenPartitionReportsFromUdevAndItsParentDisk) {
  DriveProvider p = provider("50 1 8:17 / @/OWNER\\040PEN rw,nosuid - vfat /dev/sdb1 rw\n");
  auto fso = std::move(*p.create_file_system_object());
  auto name = fso->get_drive_name(mnt_ + "/OWNER PEN/tools");
  ASSERT_TRUE(name);
  EXPECT_EQ(*name, mnt_ + "/OWNER PEN");
  auto drive = std::move(*fso->get_drive(*name));
  EXPECT_EQ(*drive->drive_letter(), "");
  EXPECT_EQ(*drive->drive_type(), 1);
  EXPECT_EQ(*drive->file_system(), "FAT32");
  EXPECT_EQ(*drive->path(), mnt_ + "/OWNER PEN");
  EXPECT_TRUE(*drive->is_ready());
  EXPECT_EQ(*drive->serial_number(), -1974723011);
  EXPECT_EQ(*drive->volume_name(), "OWNER PEN");
}

TEST_F(DriveFixture, EachKindOfMountGetsItsTypeAndName) {
  struct Case {
    const char* line;
    std::int32_t type;
    const char* file_system;
    std::int32_t serial;
    const char* label;
  } cases[] = {
      {"50 1 259:2 / @ rw - ext4 /dev/nvme0n1p2 rw\n", 2, "ext4", 0x3e6be9de, ""},
      {"50 1 11:0 / @ ro - iso9660 /dev/sr0 ro\n", 4, "CDFS", 0, "PHOTOS 2019"},
      {"50 1 0:61 / @ rw - tmpfs tmpfs rw\n", 5, "tmpfs", 0, ""},
      {"50 1 0:62 / @ rw - fuse.sshfs owner@host:/srv rw\n", 3, "sshfs", 0, ""},
      {"50 1 0:63 / @ rw - nfs4 server:/export rw\n", 3, "nfs4", 0, ""},
      {"50 1 0:64 / @ rw - overlay overlay rw\n", 0, "overlay", 0, ""},
      // A FAT label is read in the mount's codepage=, 437 unless given: 0x9B is ¢ in 437, ø in 850.
      {"50 1 8:33 / @ rw - vfat /dev/sdc1 rw\n", 0, "FAT", 0, "J\xC2\xA2RG"},
      {"50 1 8:33 / @ rw - vfat /dev/sdc1 rw,codepage=850,iocharset=utf8\n", 0, "FAT", 0, "J\xC3\xB8RG"},
      {"50 1 8:34 / @ rw - exfat /dev/sdc2 rw,iocharset=utf8\n", 0, "exFAT", 0, "J\xC3\x96RG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    DriveProvider p = provider(c.line);
    auto drive = drive_at(p, mnt_ + "/OWNER PEN/tools");
    ASSERT_TRUE(drive);
    EXPECT_EQ(*drive->path(), mnt_);
    EXPECT_EQ(*drive->drive_type(), c.type);
    EXPECT_EQ(*drive->file_system(), c.file_system);
    EXPECT_EQ(*drive->serial_number(), c.serial);
    // tmpfs and the rest have no label the kernel gives; the host's temporary directory may have one, so the
    // label is compared only where udev gives it.
    if (*c.label) {
      EXPECT_EQ(*drive->volume_name(), c.label);
    }
  }
}

TEST_F(DriveFixture, AnonymousDeviceIsFoundThroughTheDevSource) {
  struct stat st;
  if (::stat("/dev/loop0", &st) != 0 || !S_ISBLK(st.st_mode)) GTEST_SKIP() << "no /dev/loop0 to name as a source";
  // btrfs reports an anonymous 0:N device; the source names the real one.
  DriveProvider p = provider("50 1 0:52 /@home @ rw - btrfs /dev/loop0 rw,subvol=/@home\n");
  auto drive = drive_at(p, mnt_);
  ASSERT_TRUE(drive);
  EXPECT_EQ(*drive->drive_type(), 2);
}

TEST_F(DriveFixture, DriveThatIsGoneAnswersOnlyWhatNeedsNoFileSystem) {
  // The mount point does not exist, so statvfs fails as it does on a dead FUSE mount.
  DriveProvider p = provider("50 1 8:17 / @/gone rw - vfat /dev/sdb1 rw\n");
  auto drive = drive_at(p, mnt_ + "/gone/tools");
  ASSERT_TRUE(drive);
  EXPECT_EQ(*drive->drive_letter(), "");
  EXPECT_EQ(*drive->drive_type(), 1);
  EXPECT_EQ(*drive->path(), mnt_ + "/gone");
  EXPECT_FALSE(*drive->is_ready());
  EXPECT_FALSE(drive->file_system());
  EXPECT_FALSE(drive->free_space());
  EXPECT_FALSE(drive->total_size());
  EXPECT_FALSE(drive->serial_number());
  EXPECT_FALSE(drive->volume_name());
  EXPECT_EQ(drive->file_system().failure().operation, "FileSystem");
}

// The desktop takes a pulled drive's mount away; its folder is then an empty one on the disk below.
TEST_F(DriveFixture, MountThatLeftTheTableSinceStartIsNotFound) {
  const std::string pen = "50 1 8:17 / @/OWNER\\040PEN rw,nosuid - vfat /dev/sdb1 rw\n";
  struct Case {
    const char* what;
    std::string table_after;
    bool found;
  } cases[] = {
      {"still mounted", pen, true},
      {"unmounted", "", false},
      {"its id reused by another drive", "50 1 8:33 / @/OWNER\\040PEN rw,nosuid - vfat /dev/sdc1 rw\n", false},
      {"another drive mounted elsewhere", "51 1 8:33 / @/OTHER rw - vfat /dev/sdc1 rw\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DriveProvider p = provider(pen);
    fs::create_directories(mnt_ + "/OWNER PEN/tools");
    provider(c.table_after);  // rewrites the table under `p`
    auto fso = std::move(*p.create_file_system_object());
    for (const std::string& path : {mnt_ + "/OWNER PEN", mnt_ + "/OWNER PEN/tools"}) {
      auto name = fso->get_drive_name(path);
      EXPECT_EQ(bool(name), c.found) << path;
      if (name) {
        EXPECT_EQ(*name, mnt_ + "/OWNER PEN");
      }
      auto drive = fso->get_drive(path);
      EXPECT_EQ(bool(drive), c.found) << path;
      if (!drive) {
        EXPECT_EQ(drive.failure().operation, "GetDrive");
      }
    }
    // A drive that was never there is still answered by the mount below it.
    EXPECT_EQ(*fso->get_drive_name(mnt_), "/");
  }
}

TEST_F(DriveFixture, OddPathsAndMissingTables) {
  DriveProvider p = provider("");
  auto fso = std::move(*p.create_file_system_object());
  EXPECT_EQ(*fso->get_drive_name(""), "");
  EXPECT_EQ(*fso->get_drive_name("relative/dir"), "");
  EXPECT_FALSE(fso->get_drive(""));
  EXPECT_EQ(*fso->get_drive_name("/no/such/dir"), "/");

  DriveProvider broken(Roots{dir_ / "missing-mountinfo", sys_, udev_, dir_ / "dev"});
  auto broken_fso = std::move(*broken.create_file_system_object());
  EXPECT_FALSE(broken_fso->get_drive_name("/"));
  EXPECT_FALSE(broken_fso->get_drive("/"));
}

}  // namespace
}  // namespace ostrael::linux_
