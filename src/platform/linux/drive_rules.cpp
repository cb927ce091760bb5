// The rules that turn a mount, its device and its file-system identity into drive properties.
#include "platform/linux/drive_rules.h"

#include <array>
#include <cctype>

namespace ostrael::linux_ {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool all_hex(std::string_view text) {
  for (char c : text)
    if (hex_value(c) < 0) return false;
  return !text.empty();
}

std::uint32_t hex_to_u32(std::string_view digits) {
  std::uint32_t value = 0;
  for (char c : digits) value = (value << 4) | static_cast<std::uint32_t>(hex_value(c));
  return value;
}

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// A name such as "ram0" or "zram1": the prefix followed by digits only.
bool numbered(std::string_view name, std::string_view prefix) {
  if (!starts_with(name, prefix) || name.size() == prefix.size()) return false;
  for (char c : name.substr(prefix.size()))
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

using namespace std::string_view_literals;

constexpr std::array kNetworkTypes{
    "nfs"sv,       "nfs4"sv,          "cifs"sv,           "smb3"sv,           "smbfs"sv,        "9p"sv,
    "afs"sv,       "ceph"sv,          "glusterfs"sv,      "lustre"sv,         "ncpfs"sv,        "coda"sv,
    "davfs"sv,     "fuse.sshfs"sv,    "fuse.rclone"sv,    "fuse.s3fs"sv,      "fuse.davfs2"sv,  "fuse.curlftpfs"sv,
    "fuse.glusterfs"sv, "fuse.ceph"sv, "fuse.smbnetfs"sv, "fuse.gcsfuse"sv,   "fuse.juicefs"sv,
};

constexpr std::array kRamTypes{"tmpfs"sv, "ramfs"sv, "devtmpfs"sv};

}  // namespace

std::string decode_hex_escapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && hex_value(text[i + 2]) >= 0 &&
        hex_value(text[i + 3]) >= 0) {
      out += static_cast<char>(hex_value(text[i + 2]) * 16 + hex_value(text[i + 3]));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::map<std::string, std::string> parse_udev_db(std::string_view text) {
  std::map<std::string, std::string> properties;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!starts_with(line, "E:")) continue;
    line.remove_prefix(2);
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) continue;
    properties[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
  }
  return properties;
}

FsIdentity identity_from_udev(const std::map<std::string, std::string>& properties) {
  auto get = [&](const char* key) -> const std::string* {
    auto it = properties.find(key);
    return it == properties.end() ? nullptr : &it->second;
  };
  FsIdentity identity;
  if (auto* type = get("ID_FS_TYPE")) identity.type = *type;
  if (identity.type.empty()) return {};
  if (auto* version = get("ID_FS_VERSION")) identity.version = *version;
  // The _ENC forms keep characters the plain ones replace; udev escapes spaces in labels as \x20.
  if (auto* label = get("ID_FS_LABEL_ENC"))
    identity.label = decode_hex_escapes(*label);
  else if (auto* plain = get("ID_FS_LABEL"))
    identity.label = *plain;
  if (auto* uuid = get("ID_FS_UUID_ENC"))
    identity.uuid = decode_hex_escapes(*uuid);
  else if (auto* plain_uuid = get("ID_FS_UUID"))
    identity.uuid = *plain_uuid;
  return identity;
}

std::string file_system_name(const FsIdentity& identity) {
  const std::string& type = identity.type;
  if (type == "vfat" || type == "msdos") {
    if (identity.version == "FAT32") return "FAT32";
    if (identity.version == "FAT12" || identity.version == "FAT16") return "FAT";
    return type;  // the kind of FAT is not known
  }
  if (type == "exfat") return "exFAT";
  if (type == "ntfs" || type == "ntfs3") return "NTFS";
  if (type == "iso9660") return "CDFS";
  if (type == "udf") return "UDF";
  return type;
}

std::int32_t serial_from_uuid(std::string_view type, std::string_view uuid) {
  std::uint32_t serial = 0;
  if (uuid.size() == 9 && uuid[4] == '-' && all_hex(uuid.substr(0, 4)) && all_hex(uuid.substr(5))) {
    // FAT and exFAT: the volume serial as two groups of four.
    serial = hex_to_u32(uuid.substr(0, 4)) << 16 | hex_to_u32(uuid.substr(5));
  } else if ((type == "ntfs" || type == "ntfs3") && uuid.size() == 16 && all_hex(uuid)) {
    serial = hex_to_u32(uuid.substr(8));
  } else {
    std::string digits;
    for (char c : uuid)
      if (c != '-') digits += c;
    if (digits.size() != 32 || !all_hex(digits)) return 0;
    serial = hex_to_u32(std::string_view(digits).substr(0, 8));
  }
  return static_cast<std::int32_t>(serial);
}

std::int32_t drive_type_code(std::string_view mount_fs_type, const DeviceFacts& device) {
  for (std::string_view type : kNetworkTypes)
    if (mount_fs_type == type) return 3;
  for (std::string_view type : kRamTypes)
    if (mount_fs_type == type) return 5;
  if (device.block_device && (numbered(device.disk_name, "ram") || numbered(device.disk_name, "zram"))) return 5;
  if (device.block_device && (numbered(device.disk_name, "sr") || device.cd)) return 4;
  if (device.block_device && (device.removable || device.on_removable_bus)) return 1;
  if (device.block_device) return 2;
  return 0;
}

}  // namespace ostrael::linux_
