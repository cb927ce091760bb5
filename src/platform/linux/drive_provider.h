// The drive information provider: the mount that holds a path, its device in sysfs, and the
// file system's identity from udev, libblkid or the kernel.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/drive_rules.h"
#include "platform/linux/mountinfo.h"
#include "platform/platform.h"

namespace ostrael::linux_ {

// Where the provider looks; tests point these at fixtures.
struct Roots {
  std::string mountinfo = "/proc/self/mountinfo";
  std::string sysfs = "/sys";
  // The system's directory goes through libudev; any other is read as udev database files.
  std::string udev_data = "/run/udev/data";
  std::string dev = "/dev";
};

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
  std::shared_ptr<const std::vector<MountEntry>> at_start_;
};

}  // namespace ostrael::linux_
