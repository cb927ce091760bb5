// Any bytes as /proc/self/mountinfo, and any path looked up in it: no crash, and the answers
// keep their promises (absolute mount points, a normalised path, a mount that holds the path).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/linux/mountinfo.h"

namespace {

using namespace ostrael::linux_;

bool is_normalised(std::string_view path) {
  if (path == "/") return true;
  if (path.empty() || path.front() != '/' || path.back() == '/') return false;
  for (std::string_view bad : {"//", "/./", "/../"})
    if (path.find(bad) != std::string_view::npos) return false;
  return !path.ends_with("/.") && !path.ends_with("/..");
}

bool holds(std::string_view mount_point, std::string_view path) {
  if (mount_point == "/") return true;
  return path.starts_with(mount_point) && (path.size() == mount_point.size() || path[mount_point.size()] == '/');
}

}  // namespace

// The first line is the path to look up; the rest is the mount table.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t newline = input.find('\n');
  std::string_view raw_path = input.substr(0, newline);
  std::string_view table = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

  std::vector<MountEntry> mounts = parse_mountinfo(table);
  for (const MountEntry& entry : mounts)
    if (entry.mount_point.empty() || entry.mount_point.front() != '/' || entry.fs_type.empty()) std::abort();

  std::string path = normalise_path(raw_path);
  if (path.empty() != (raw_path.empty() || raw_path.front() != '/')) std::abort();
  if (path.empty()) return 0;
  if (!is_normalised(path) || normalise_path(path) != path) std::abort();

  const MountEntry* mount = find_mount_by_prefix(mounts, path);
  if (mount && !holds(mount->mount_point, path)) std::abort();
  if (mount && find_mount_by_id(mounts, mount->mount_id) == nullptr) std::abort();
  return 0;
}
