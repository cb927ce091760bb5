// The drive information provider: the mount that holds a path, its device in sysfs, and the
// file system's identity from udev, libblkid or the kernel.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/linux/drive_rules.h"
#include "platform/platform.h"

struct libmnt_table;

namespace ostrael::linux_ {

using MountTable = std::shared_ptr<libmnt_table>;

// Where the provider looks; tests point these at fixtures.
struct Roots {
  std::string mountinfo = "/proc/self/mountinfo";
  std::string sysfs = "/sys";
  // The system's directory goes through libudev; any other is read as udev database files.
  std::string udev_data = "/run/udev/data";
  std::string dev = "/dev";
};

// One mount as the mount table gives it.
struct Mount {
  std::string mount_point;
  std::string root;     // the folder of the file system it shows: "/" but for a bind mount or subvolume
  std::string source;   // "/dev/sdb1", "server:/export", "tmpfs"
  std::string fs_type;  // "ext4", "fuseblk", "fuse.sshfs"
  dev_t device = 0;     // an anonymous 0:N for btrfs, network and memory file systems
  std::string codepage; // a FAT mount's codepage= option, "850"; empty when it has none
};

// The mount that holds `path` in the table at roots.mountinfo, read with libmount; of mounts
// stacked on one folder, the one on top. Fails when the table cannot be read.
Result<Mount> find_mount(const std::string& path, const Roots& roots = Roots{});

// The identity of the file system on a block device or image file, read with libblkid.
// Empty type when the probe finds nothing or cannot read it.
FsIdentity probe_identity(const std::string& device_path);

class DriveProvider : public ostrael::DriveProvider {
 public:
  // Both read the mount table once, so that a drive pulled later is known to be gone.
  DriveProvider();
  explicit DriveProvider(Roots roots);

  // GetDriveName gives the mount point of the mount that holds the path, or "" for a path that
  // is not absolute; GetDrive takes any absolute path and describes the mount that holds it.
  // Path is the mount point, DriveLetter is "". A drive whose statvfs fails is not ready: then
  // FileSystem, FreeSpace, SerialNumber, TotalSize and VolumeName fail.
  // A path whose mount at construction has since left the table (a pulled drive the desktop
  // unmounted) makes GetDriveName and GetDrive fail: what lies at that path now is another drive.
  Result<std::unique_ptr<FileSystemObject>> create_file_system_object() override;

 private:
  Roots roots_;
  MountTable at_start_;  // null when the table could not be read at start
};

}  // namespace ostrael::linux_
