// Parsing /proc/self/mountinfo and finding the mount that holds a path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrael::linux_ {

// One line of mountinfo, every text field unescaped.
struct MountEntry {
  std::uint64_t mount_id = 0;
  std::uint64_t parent_id = 0;
  unsigned major = 0;
  unsigned minor = 0;
  std::string root;         // the part of the file system this mount shows
  std::string mount_point;
  std::string mount_options;
  std::string fs_type;      // "ext4", "fuseblk", "fuse.sshfs"
  std::string source;       // "/dev/sdb1", "server:/export", "tmpfs"
  std::string super_options;
};

// The kernel escapes space, tab, newline and backslash as \040, \011, \012 and \134. Any other
// backslash is kept as it is.
std::string unescape_octal(std::string_view field);

// Empty for a line that is not a well-formed mountinfo entry. Takes any bytes.
std::optional<MountEntry> parse_mountinfo_line(std::string_view line);
// The well-formed lines of a whole file; malformed ones are passed over.
std::vector<MountEntry> parse_mountinfo(std::string_view text);

// The entry whose mount id is `id`.
const MountEntry* find_mount_by_id(const std::vector<MountEntry>& mounts, std::uint64_t id);
// The entry with the longest mount point that is a whole-component prefix of the absolute,
// normalised `path`; among equals the last one, which is the one on top.
const MountEntry* find_mount_by_prefix(const std::vector<MountEntry>& mounts, std::string_view path);

// "/a//b/./c/" -> "/a/b/c", without touching the file system (it may be a dead FUSE mount).
// ".." removes the component before it. Empty for a relative path.
std::string normalise_path(std::string_view path);

}  // namespace ostrael::linux_
