// Identity read with libblkid from file-system images made at test time by the mkfs tools.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "platform/linux/drive_provider.h"
#include "test_support.h"

namespace ostrael::linux_ {
namespace {

using testing::make_sparse_file;
using testing::ntfs_boot_sector_serial;
using testing::run;
using testing::TempDir;

struct ImageCase {
  const char* name;
  long long bytes;
  std::vector<std::vector<std::string>> commands;  // "@" is the image's path
  const char* file_system;
  std::int32_t serial;  // 0: read from the boot sector
  const char* label;
};

TEST(FileSystemImage, BlkidIdentityGivesNameSerialAndLabel) {
  const std::vector<ImageCase> cases = {
      {"FAT12", 1 << 20, {{"mkfs.vfat", "-F", "12", "-i", "8A4C1E3D", "-n", "OWNERPEN", "@"}}, "FAT", -1974723011, "OWNERPEN"},
      {"FAT16", 8 << 20, {{"mkfs.vfat", "-F", "16", "-s", "1", "-i", "8A4C1E3D", "-n", "OWNERPEN", "@"}}, "FAT", -1974723011, "OWNERPEN"},
      {"FAT32", 40 << 20, {{"mkfs.vfat", "-F", "32", "-s", "1", "-i", "8A4C1E3D", "-n", "OWNERPEN", "@"}}, "FAT32", -1974723011, "OWNERPEN"},
      {"exFAT", 8 << 20, {{"mkfs.exfat", "-L", "OWNERPEN", "@"}, {"tune.exfat", "-I", "0x8A4C1E3D", "@"}}, "exFAT", -1974723011, "OWNERPEN"},
      {"NTFS", 8 << 20, {{"mkntfs", "-F", "-Q", "-q", "-L", "OWNERPEN", "@"}}, "NTFS", 0, "OWNERPEN"},
      {"ext4", 8 << 20, {{"mkfs.ext4", "-q", "-F", "-L", "OWNER PEN", "-U", "3e6be9de-8139-11d1-9106-a43f08d823a6", "@"}}, "ext4", 0x3e6be9de, "OWNER PEN"},
      {"ext4 unlabelled", 8 << 20, {{"mkfs.ext4", "-q", "-F", "-U", "80000000-8139-11d1-9106-a43f08d823a6", "@"}}, "ext4", INT32_MIN, ""},
  };
  TempDir dir;
  for (const ImageCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (!testing::have_program(c.commands.back()[0])) {
      ADD_FAILURE() << c.commands.back()[0] << " is missing; tools/install-deps.sh installs it";
      continue;
    }
    std::string image = dir / (std::string(c.name) + ".img");
    make_sparse_file(image, c.bytes);
    bool made = true;
    for (std::vector<std::string> command : c.commands) {
      for (std::string& arg : command)
        if (arg == "@") arg = image;
      auto result = run(command);
      if (result.status != 0) {
        ADD_FAILURE() << command[0] << " failed: " << result.output;
        made = false;
      }
    }
    if (!made) continue;

    FsIdentity identity = probe_identity(image);
    EXPECT_EQ(file_system_name(identity), c.file_system);
    std::int32_t serial = c.serial ? c.serial : ntfs_boot_sector_serial(image);
    EXPECT_NE(serial, 0);
    EXPECT_EQ(serial_from_uuid(identity.type, identity.uuid), serial) << identity.uuid;
    EXPECT_EQ(identity.label.value_or(""), c.label);
  }
}

TEST(FileSystemImage, NoFileSystemGivesNoIdentity) {
  TempDir dir;
  make_sparse_file(dir / "blank.img", 1 << 20);
  EXPECT_EQ(probe_identity(dir / "blank.img").type, "");
  EXPECT_EQ(probe_identity(dir / "missing.img").type, "");
}

}  // namespace
}  // namespace ostrael::linux_
