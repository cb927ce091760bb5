// The rules that turn a mount, its device and its file-system identity into drive properties.
// Pure functions, so each rule is tested without a drive.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace ostrael::linux_ {

// What identifies a file system, as udev and libblkid name it.
struct FsIdentity {
  std::string type;     // "vfat", "ntfs", "ext4"; empty when unknown
  std::string version;  // "FAT32", "FAT16", "1.0"
  std::optional<std::string> label;
  std::string uuid;     // "8A4C-1E3D", "0123456789ABCDEF", "3e6be9de-8139-11d1-9106-a43f08d823a6"
};

// What sysfs says about the disk under a mount.
struct DeviceFacts {
  bool block_device = false;  // the mount has a block device that sysfs knows
  std::string disk_name;      // "sdb", "sr0", "zram0", "loop3": the whole disk, never a partition
  bool removable = false;
  bool cd = false;            // SCSI type 5 or udev's ID_CDROM
  bool on_removable_bus = false;  // USB, MMC or FireWire above the disk
};

// "\x20" -> " ", as udev writes ID_FS_LABEL_ENC and ID_FS_UUID_ENC. Anything that is not a
// backslash, an x and two hex digits stays as it is.
std::string decode_hex_escapes(std::string_view text);

// The E: lines of a udev database file, "E:ID_FS_TYPE=vfat" -> {"ID_FS_TYPE", "vfat"}.
std::map<std::string, std::string> parse_udev_db(std::string_view text);
// TYPE, VERSION, LABEL and UUID from udev properties; empty type when udev has none.
FsIdentity identity_from_udev(const std::map<std::string, std::string>& properties);

// The Windows name of a file system: vfat FAT32 -> "FAT32", FAT12/16 -> "FAT", exfat -> "exFAT",
// ntfs and ntfs3 -> "NTFS", iso9660 -> "CDFS", udf -> "UDF"; otherwise the Linux name.
std::string file_system_name(const FsIdentity& identity);

// The 32-bit volume serial: FAT and exFAT "XXXX-YYYY" -> 0xXXXXYYYY, NTFS its low 32 bits, a
// 128-bit UUID its first 8 hex digits, anything else 0.
std::int32_t serial_from_uuid(std::string_view type, std::string_view uuid);

// The drive type code from the mount's type as mountinfo gives it and the disk's facts.
std::int32_t drive_type_code(std::string_view mount_fs_type, const DeviceFacts& device);

}  // namespace ostrael::linux_
