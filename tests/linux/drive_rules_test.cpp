// The rules that name the file system, read the serial and pick the drive type.
#include "platform/linux/drive_rules.h"

#include <gtest/gtest.h>

namespace ostrael::linux_ {
namespace {

TEST(DriveRules, HexEscapesAreDecoded) {
  struct Case {
    std::string_view in, out;
  } cases[] = {
      {"OWNER\\x20PEN", "OWNER PEN"},
      {"\\xc3\\xa9t\\xC3\\xA9", "\xC3\xA9t\xC3\xA9"},
      {"a\\x2fb", "a/b"},
      {"\\x2", "\\x2"},   // cut short
      {"\\xZZ", "\\xZZ"},
      {"\\\\x41", "\\A"},  // udev writes a backslash as \x5c, so a bare one stays
  };
  for (const Case& c : cases) EXPECT_EQ(decode_hex_escapes(c.in), c.out) << c.in;
}

TEST(DriveRules, UdevDatabaseGivesTheIdentity) {
  auto properties = parse_udev_db(
      "S:disk/by-label/OWNER\\x20PEN\n"
      "W:3\n"
      "E:ID_FS_TYPE=vfat\n"
      "E:ID_FS_VERSION=FAT32\n"
      "E:ID_FS_LABEL=OWNER_PEN\n"
      "E:ID_FS_LABEL_ENC=OWNER\\x20PEN\n"
      "E:ID_FS_UUID=8A4C-1E3D\n"
      "E:ID_FS_UUID_ENC=8A4C-1E3D\n"
      "E:=nothing\n"
      "E:NOEQUALS\n"
      "G:seat");
  FsIdentity identity = identity_from_udev(properties);
  EXPECT_EQ(identity.type, "vfat");
  EXPECT_EQ(identity.version, "FAT32");
  EXPECT_EQ(identity.label, "OWNER PEN");
  EXPECT_EQ(identity.uuid, "8A4C-1E3D");

  // A device udev knows but found no file system on gives nothing, not an empty label.
  EXPECT_EQ(identity_from_udev(parse_udev_db("E:ID_FS_LABEL_ENC=x\n")).label, std::nullopt);
}

TEST(DriveRules, FileSystemNames) {
  struct Case {
    const char *type, *version, *name;
  } cases[] = {
      {"vfat", "FAT32", "FAT32"}, {"vfat", "FAT16", "FAT"}, {"vfat", "FAT12", "FAT"}, {"vfat", "", "vfat"},
      {"exfat", "1.0", "exFAT"},  {"ntfs", "3.1", "NTFS"},  {"ntfs3", "", "NTFS"},    {"iso9660", "", "CDFS"},
      {"udf", "2.01", "UDF"},     {"ext4", "1.0", "ext4"},  {"btrfs", "", "btrfs"},   {"tmpfs", "", "tmpfs"},
  };
  for (const Case& c : cases) EXPECT_EQ(file_system_name({c.type, c.version, {}, {}}), c.name) << c.type << c.version;
}

TEST(DriveRules, SerialNumbers) {
  struct Case {
    const char *type, *uuid;
    std::int32_t serial;
  } cases[] = {
      {"vfat", "8A4C-1E3D", -1974723011},
      {"vfat", "FFFF-FFFF", -1},
      {"exfat", "8000-0000", INT32_MIN},
      {"exfat", "0000-0001", 1},
      {"ntfs", "1A2B3C4D5E6F7081", 0x5E6F7081},
      {"ntfs", "0123456789ABCDEF", static_cast<std::int32_t>(0x89ABCDEFu)},
      {"ext4", "3e6be9de-8139-11d1-9106-a43f08d823a6", 0x3e6be9de},
      {"btrfs", "f0000000-0000-0000-0000-000000000000", static_cast<std::int32_t>(0xF0000000u)},
      {"ext4", "", 0},
      {"iso9660", "2024-01-15-10-20-30-00", 0},
      {"ext4", "3e6be9de-8139-11d1-9106-a43f08d823", 0},  // short
      {"vfat", "8A4C-1E3G", 0},
      {"hfsplus", "0123456789ABCDEF", 0},  // 64 bits but not NTFS: no rule says which half
  };
  for (const Case& c : cases) EXPECT_EQ(serial_from_uuid(c.type, c.uuid), c.serial) << c.type << " " << c.uuid;
}

TEST(DriveRules, DriveTypesFirstMatchWins) {
  DeviceFacts none;
  DeviceFacts usb_stick{true, "sdb", true, false, true};
  DeviceFacts sd_card{true, "mmcblk0", false, false, true};
  DeviceFacts internal{true, "nvme0n1", false, false, false};
  DeviceFacts cd{true, "sr0", true, false, true};  // a USB CD drive is still a CD drive
  DeviceFacts scsi_cd{true, "sdc", false, true, false};
  DeviceFacts zram{true, "zram0", false, false, false};
  DeviceFacts ram{true, "ram3", false, false, false};
  DeviceFacts ramp{true, "rampart", false, false, false};
  struct Case {
    const char* type;
    DeviceFacts device;
    std::int32_t code;
  } cases[] = {
      {"nfs4", none, 3},       {"cifs", none, 3},       {"fuse.sshfs", none, 3}, {"9p", none, 3},
      {"tmpfs", none, 5},      {"ramfs", none, 5},      {"ext4", zram, 5},       {"ext2", ram, 5},
      {"iso9660", cd, 4},      {"udf", scsi_cd, 4},     {"vfat", usb_stick, 1},  {"exfat", sd_card, 1},
      {"ext4", internal, 2},   {"ext4", ramp, 2},       {"fuseblk", usb_stick, 1}, {"overlay", none, 0},
      {"fuse.gvfsd-fuse", none, 0}, {"proc", none, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(drive_type_code(c.type, c.device), c.code) << c.type << " " << c.device.disk_name;
}

}  // namespace
}  // namespace ostrael::linux_
