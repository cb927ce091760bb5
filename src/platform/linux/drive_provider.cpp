// The drive information provider.
#include "platform/linux/drive_provider.h"

#include <cerrno>

namespace ostrael::linux_ {

FsIdentity probe_identity(const std::string&) { return {}; }

Result<std::unique_ptr<FileSystemObject>> DriveProvider::create_file_system_object() {
  return Failure{"CreateFileSystemObject", ENOSYS, "not yet"};
}

}  // namespace ostrael::linux_
