// The drive information provider: libmount for the mount, sysfs for the disk, udev, libblkid or
// the kernel for the file system's identity. Nothing is cached; each property is read when asked.
#include "platform/linux/drive_provider.h"

#include <blkid/blkid.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <libmount/libmount.h>
#include <libudev.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/linux/text_conversions.h"

namespace ostrael::linux_ {

namespace {

constexpr std::string_view kSystemUdevData = "/run/udev/data";
constexpr std::string_view kLiveMountinfo = "/proc/";

// libudev is opened on the first look at a drive rather than linked: only "Pen Info" needs it,
// and loading it with the program lengthens every start-up.
struct Udev {
  decltype(&::udev_new) new_context;
  decltype(&::udev_unref) unref_context;
  decltype(&::udev_device_new_from_devnum) device_from_devnum;
  decltype(&::udev_device_unref) unref_device;
  decltype(&::udev_device_get_properties_list_entry) properties;
  decltype(&::udev_list_entry_get_next) next;
  decltype(&::udev_list_entry_get_name) name;
  decltype(&::udev_list_entry_get_value) value;
};

template <typename Function>
bool find_symbol(void* library, const char* name, Function& out) {
  out = reinterpret_cast<Function>(dlsym(library, name));
  return out != nullptr;
}

// Null when the system has no libudev; the library then stays unused, as a missing database.
const Udev* udev_library() {
  static const std::optional<Udev> loaded = []() -> std::optional<Udev> {
    void* library = dlopen("libudev.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!library) return std::nullopt;
    Udev u{};
    if (find_symbol(library, "udev_new", u.new_context) && find_symbol(library, "udev_unref", u.unref_context) &&
        find_symbol(library, "udev_device_new_from_devnum", u.device_from_devnum) &&
        find_symbol(library, "udev_device_unref", u.unref_device) &&
        find_symbol(library, "udev_device_get_properties_list_entry", u.properties) &&
        find_symbol(library, "udev_list_entry_get_next", u.next) &&
        find_symbol(library, "udev_list_entry_get_name", u.name) &&
        find_symbol(library, "udev_list_entry_get_value", u.value))
      return u;  // open for the rest of the program, as a linked library would be
    dlclose(library);
    return std::nullopt;
  }();
  return loaded ? &*loaded : nullptr;
}

struct UdevUnref {
  const Udev* library;
  void operator()(udev* u) const { library->unref_context(u); }
  void operator()(udev_device* d) const { library->unref_device(d); }
};
struct BlkidFree {
  void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};

Failure os_failure(const char* operation, int error) { return Failure{operation, error, std::strerror(error)}; }

// Plain reads: the mount table is read at start, where iostreams' first use costs more than the
// reading itself.
std::optional<std::string> read_small_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[8192];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    int error = errno;
    ::close(fd);
    if (n == 0) return text;
    errno = error;
    return std::nullopt;
  }
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::optional<std::string> real_path(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return std::nullopt;
  std::string out(resolved);
  std::free(resolved);
  return out;
}

std::string parent_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string devnum_text(dev_t device) { return std::to_string(major(device)) + ":" + std::to_string(minor(device)); }

struct TableUnref {
  void operator()(libmnt_table* table) const { mnt_unref_table(table); }
};
struct IterFree {
  void operator()(libmnt_iter* iter) const { mnt_free_iter(iter); }
};

std::string text_of(const char* text) { return text ? text : ""; }

Result<MountTable> load_mounts(const Roots& roots) {
  MountTable table(mnt_new_table(), TableUnref{});
  if (!table) return Failure{"GetDrive", ENOMEM, "libmount made no table"};
  // libmount passes over a line it cannot read; the rest of the table still counts.
  if (int rc = mnt_table_parse_file(table.get(), roots.mountinfo.c_str()); rc != 0)
    return Failure{"GetDrive", rc < 0 ? -rc : EINVAL, "the mount table cannot be read"};
  return table;
}

// The pieces of `text` between `separator`s, empty ones included. Not iostreams: those bring
// the whole of the C++ locale machinery into a program that links libstdc++ statically.
std::vector<std::string_view> pieces(std::string_view text, char separator) {
  std::vector<std::string_view> out;
  for (std::size_t start = 0;;) {
    std::size_t end = text.find(separator, start);
    out.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return out;
    start = end + 1;
  }
}

// "/a//b/./c/" -> "/a/b/c", without touching the file system (it may be a dead FUSE mount).
std::string normalise_path(const std::string& path) {
  std::vector<std::string_view> parts;
  for (std::string_view part : pieces(path, '/')) {
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
  }
  std::string out;
  for (std::string_view part : parts) out.append("/").append(part);
  return out.empty() ? "/" : out;
}

// The mount at `path` or at the nearest folder above it; of mounts stacked there, the last listed,
// which is the one on top. mnt_table_find_mountpoint walks up the same way, but first stats the
// path, which a dead FUSE mount refuses. Without a cache, find_target compares the table's own
// names and touches no file system.
libmnt_fs* mount_at_or_above(libmnt_table* table, std::string path) {
  for (;;) {
    if (libmnt_fs* fs = mnt_table_find_target(table, path.c_str(), MNT_ITER_BACKWARD)) return fs;
    if (path == "/") return nullptr;
    path = parent_of(path);
  }
}

libmnt_fs* mount_with_id(libmnt_table* table, std::uint64_t id) {
  std::unique_ptr<libmnt_iter, IterFree> iter(mnt_new_iter(MNT_ITER_FORWARD));
  libmnt_fs* fs = nullptr;
  while (iter && mnt_table_next_fs(table, iter.get(), &fs) == 0)
    if (mnt_fs_get_id(fs) >= 0 && static_cast<std::uint64_t>(mnt_fs_get_id(fs)) == id) return fs;
  return nullptr;
}

std::string resolved(const std::string& path) { return real_path(path).value_or(normalise_path(path)); }

// Whether the mount that held `path` in the table taken at start has left the table since. Its
// mount point is then an empty folder on another drive, or gone, and the path leads elsewhere.
// Mount ids are reused, so the device and the mount point must match too.
bool gone_since_start(libmnt_table* at_start, libmnt_table* now, const std::string& path) {
  libmnt_fs* then = at_start ? mount_at_or_above(at_start, resolved(path)) : nullptr;
  if (!then) return false;
  libmnt_fs* same = mount_with_id(now, static_cast<std::uint64_t>(mnt_fs_get_id(then)));
  return !same || mnt_fs_get_devno(same) != mnt_fs_get_devno(then) ||
         text_of(mnt_fs_get_target(same)) != text_of(mnt_fs_get_target(then));
}

Failure drive_gone(const char* operation) { return Failure{operation, ENODEV, "the drive has been removed"}; }

// The mount that holds `path`: by statx's mount id where the kernel gives one, otherwise by the
// nearest mount point at or above the path (statx fails on a dead FUSE mount, for one).
libmnt_fs* mount_holding(libmnt_table* table, const std::string& path, const Roots& roots) {
#ifdef STATX_MNT_ID  // kernel headers before 5.8 lack it; the walk up still works
  // Mount ids belong to the live table; a fixture's ids would only match by accident.
  if (roots.mountinfo.compare(0, kLiveMountinfo.size(), kLiveMountinfo) == 0) {
    struct statx stx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_MNT_ID, &stx) == 0 && (stx.stx_mask & STATX_MNT_ID))
      if (libmnt_fs* fs = mount_with_id(table, stx.stx_mnt_id)) return fs;
  }
#endif
  return mount_at_or_above(table, resolved(path));
}

Mount mount_of(libmnt_fs* fs) {
  Mount mount{text_of(mnt_fs_get_target(fs)), text_of(mnt_fs_get_root(fs)), text_of(mnt_fs_get_source(fs)),
              text_of(mnt_fs_get_fstype(fs)), mnt_fs_get_devno(fs), {}};
  char* value = nullptr;
  std::size_t size = 0;
  if (mnt_fs_get_option(fs, "codepage", &value, &size) == 0 && value) mount.codepage.assign(value, size);
  return mount;
}

// The mount that holds `path` in the table as it is now. Given the table at start, a mount that
// has left the table since fails as gone.
Result<Mount> mount_now(const std::string& path, const Roots& roots, libmnt_table* at_start, const char* operation) {
  auto table = load_mounts(roots);
  if (!table) return Failure{operation, table.failure().code, table.failure().text};
  if (gone_since_start(at_start, table->get(), path)) return drive_gone(operation);
  libmnt_fs* fs = mount_holding(table->get(), path, roots);
  if (!fs) return Failure{operation, ENOENT, "no mount holds the path"};
  return mount_of(fs);
}

// The block device under a mount: its major:minor, or for file systems that report an
// anonymous device (btrfs, for one) the device node named as the source. 0 when there is none.
dev_t device_of(const Mount& entry) {
  if (major(entry.device) != 0) return entry.device;
  if (entry.source.compare(0, 5, "/dev/") == 0) {
    struct stat st;
    if (::stat(entry.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) return st.st_rdev;
  }
  return 0;
}

std::map<std::string, std::string> udev_properties(dev_t device, const Roots& roots) {
  if (roots.udev_data != kSystemUdevData) {
    auto text = read_small_file(roots.udev_data + "/b" + devnum_text(device));
    return text ? parse_udev_db(*text) : std::map<std::string, std::string>{};
  }
  std::map<std::string, std::string> properties;
  const Udev* u = udev_library();
  if (!u) return properties;
  std::unique_ptr<udev, UdevUnref> context(u->new_context(), UdevUnref{u});
  if (!context) return properties;
  std::unique_ptr<udev_device, UdevUnref> dev(u->device_from_devnum(context.get(), 'b', device), UdevUnref{u});
  if (!dev) return properties;
  for (udev_list_entry* item = u->properties(dev.get()); item; item = u->next(item)) {
    const char* name = u->name(item);
    const char* value = u->value(item);
    if (name && value) properties[name] = value;
  }
  return properties;
}

// The device node of `device` under roots.dev, named as sysfs names it, if it really is that device.
std::optional<std::string> device_node(dev_t device, const Roots& roots) {
  auto uevent = read_small_file(roots.sysfs + "/dev/block/" + devnum_text(device) + "/uevent");
  if (!uevent) return std::nullopt;
  for (std::string_view line : pieces(*uevent, '\n')) {
    if (!line.starts_with("DEVNAME=")) continue;
    std::string name(line.substr(8));
    if (name.empty() || name.find("..") != std::string::npos) return std::nullopt;
    std::string node = roots.dev + "/" + name;
    struct stat st;
    if (::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode) || st.st_rdev != device) return std::nullopt;
    return node;
  }
  return std::nullopt;
}

std::optional<std::string> kernel_label(const std::string& mount_point) {
  int fd = ::open(mount_point.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char label[FSLABEL_MAX + 1] = {};
  int r = ::ioctl(fd, FS_IOC_GETFSLABEL, label);
  ::close(fd);
  if (r != 0) return std::nullopt;
  return std::string(label, ::strnlen(label, FSLABEL_MAX));
}

// TYPE, VERSION, LABEL and UUID: the udev database, then a libblkid probe, then the kernel's
// label, then the mount's own type unless FUSE hides the real one behind it.
FsIdentity identity_of(const Mount& entry, const Roots& roots) {
  if (dev_t device = device_of(entry)) {
    FsIdentity identity = identity_from_udev(udev_properties(device, roots));
    if (!identity.type.empty()) return identity;
    if (auto node = device_node(device, roots)) {
      identity = probe_identity(*node);
      if (!identity.type.empty()) return identity;
    }
  }
  FsIdentity identity;
  identity.label = kernel_label(entry.mount_point);
  if (entry.fs_type.compare(0, 4, "fuse") != 0) identity.type = entry.fs_type;
  return identity;
}

DeviceFacts device_facts(const Mount& entry, const Roots& roots) {
  DeviceFacts facts;
  dev_t device = device_of(entry);
  if (!device) return facts;
  auto sysfs_root = real_path(roots.sysfs);
  auto dir = real_path(roots.sysfs + "/dev/block/" + devnum_text(device));
  if (!sysfs_root || !dir) return facts;
  facts.block_device = true;
  // A partition's attributes are those of the disk that holds it.
  struct stat st;
  if (::stat((*dir + "/partition").c_str(), &st) == 0) dir = parent_of(*dir);
  facts.disk_name = base_of(*dir);
  facts.removable = trimmed(read_small_file(*dir + "/removable").value_or("")) == "1";
  // SCSI peripheral type 5 is a CD or DVD drive.
  facts.cd = trimmed(read_small_file(*dir + "/device/type").value_or("")) == "5" ||
             udev_properties(device, roots)["ID_CDROM"] == "1";
  for (std::string up = *dir; up.size() > sysfs_root->size() && up.compare(0, sysfs_root->size(), *sysfs_root) == 0;
       up = parent_of(up)) {
    auto subsystem = real_path(up + "/subsystem");
    if (!subsystem) continue;
    std::string bus = base_of(*subsystem);
    if (bus == "usb" || bus == "mmc" || bus == "firewire" || bus == "ieee1394" || bus == "memstick") {
      facts.on_removable_bus = true;
      break;
    }
  }
  return facts;
}

class LinuxDrive : public Drive {
 public:
  LinuxDrive(Mount entry, const Roots& roots) : entry_(std::move(entry)), roots_(roots) {}

  Result<std::string> drive_letter() override { return std::string(); }
  Result<std::int32_t> drive_type() override { return drive_type_code(entry_.fs_type, device_facts(entry_, roots_)); }
  Result<std::string> file_system() override {
    if (auto status = ready("FileSystem"); !status) return status.failure();
    FsIdentity identity = identity_of(entry_, roots_);
    if (!identity.type.empty()) return file_system_name(identity);
    // FUSE names only itself; "fuse.sshfs" at least tells sshfs.
    if (entry_.fs_type.compare(0, 5, "fuse.") == 0) return entry_.fs_type.substr(5);
    return entry_.fs_type;
  }
  Result<double> free_space() override {
    struct statvfs st;
    if (::statvfs(entry_.mount_point.c_str(), &st) != 0) return os_failure("FreeSpace", errno);
    return static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize);
  }
  Result<bool> is_ready() override {
    struct statvfs st;
    return ::statvfs(entry_.mount_point.c_str(), &st) == 0;
  }
  Result<std::string> path() override { return entry_.mount_point; }
  Result<std::int32_t> serial_number() override {
    if (auto status = ready("SerialNumber"); !status) return status.failure();
    FsIdentity identity = identity_of(entry_, roots_);
    return serial_from_uuid(identity.type, identity.uuid);
  }
  Result<double> total_size() override {
    struct statvfs st;
    if (::statvfs(entry_.mount_point.c_str(), &st) != 0) return os_failure("TotalSize", errno);
    return static_cast<double>(st.f_blocks) * static_cast<double>(st.f_frsize);
  }
  Result<std::string> volume_name() override {
    if (auto status = ready("VolumeName"); !status) return status.failure();
    FsIdentity identity = identity_of(entry_, roots_);
    std::string label = identity.label.value_or("");
    if (identity.type == "vfat" || identity.type == "msdos") return fat_label_to_utf8(label, entry_.codepage);
    return label;
  }

 private:
  Status ready(const char* operation) {
    struct statvfs st;
    if (::statvfs(entry_.mount_point.c_str(), &st) != 0) return os_failure(operation, errno);
    return {};
  }

  Mount entry_;
  Roots roots_;
};

class LinuxFileSystemObject : public FileSystemObject {
 public:
  LinuxFileSystemObject(const Roots& roots, MountTable at_start) : roots_(roots), at_start_(std::move(at_start)) {}

  Result<std::string> get_drive_name(std::string_view path) override {
    if (path.empty() || path.front() != '/') return std::string();
    auto mount = mount_now(std::string(path), roots_, at_start_.get(), "GetDriveName");
    if (!mount) return mount.failure();
    return mount->mount_point;
  }

  Result<std::unique_ptr<Drive>> get_drive(std::string_view drive_name) override {
    if (drive_name.empty() || drive_name.front() != '/') return Failure{"GetDrive", ENOENT, "not a drive"};
    auto mount = mount_now(std::string(drive_name), roots_, at_start_.get(), "GetDrive");
    if (!mount) return mount.failure();
    return std::unique_ptr<Drive>(std::make_unique<LinuxDrive>(std::move(*mount), roots_));
  }

 private:
  Roots roots_;
  MountTable at_start_;
};

}  // namespace

FsIdentity probe_identity(const std::string& device_path) {
  std::unique_ptr<blkid_struct_probe, BlkidFree> probe(blkid_new_probe_from_filename(device_path.c_str()));
  if (!probe) return {};
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(),
                                    BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID);
  if (blkid_do_safeprobe(probe.get()) != 0) return {};
  auto value = [&](const char* name) -> std::optional<std::string> {
    const char* data = nullptr;
    std::size_t size = 0;
    if (blkid_probe_lookup_value(probe.get(), name, &data, &size) != 0 || !data) return std::nullopt;
    return std::string(data, ::strnlen(data, size));
  };
  FsIdentity identity;
  identity.type = value("TYPE").value_or("");
  identity.version = value("VERSION").value_or("");
  // A FAT volume keeps its label twice: LABEL is the root directory's volume entry, LABEL_FATBOOT
  // the boot sector's copy. Windows shows the root directory's, and a rename there leaves the boot
  // sector's as it was, so LABEL is the name the owner sees.
  identity.label = value("LABEL");
  identity.uuid = value("UUID").value_or("");
  return identity;
}

DriveProvider::DriveProvider() : DriveProvider(Roots{}) {}

DriveProvider::DriveProvider(Roots roots) : roots_(std::move(roots)) {
  // An unreadable table leaves nothing to compare with later: every drive then counts as present.
  auto mounts = load_mounts(roots_);
  if (mounts) at_start_ = std::move(*mounts);
}

Result<Mount> find_mount(const std::string& path, const Roots& roots) {
  return mount_now(path, roots, nullptr, "GetDrive");
}

Result<std::unique_ptr<FileSystemObject>> DriveProvider::create_file_system_object() {
  return std::unique_ptr<FileSystemObject>(std::make_unique<LinuxFileSystemObject>(roots_, at_start_));
}

}  // namespace ostrael::linux_
