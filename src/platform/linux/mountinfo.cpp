// Parsing /proc/self/mountinfo and finding the mount that holds a path.
#include "platform/linux/mountinfo.h"

#include <charconv>

namespace ostrael::linux_ {

namespace {

bool is_octal(char c) { return c >= '0' && c <= '7'; }

template <class T>
bool parse_number(std::string_view text, T& value) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// Fields are separated by single spaces; an empty field (two spaces) is kept as empty.
std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t space = line.find(' ', start);
    if (space == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, space - start));
    start = space + 1;
  }
}

bool mount_point_holds(std::string_view mount_point, std::string_view path) {
  if (mount_point == "/") return true;
  if (path.size() < mount_point.size() || path.substr(0, mount_point.size()) != mount_point) return false;
  return path.size() == mount_point.size() || path[mount_point.size()] == '/';
}

}  // namespace

std::string unescape_octal(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    // Three octal digits with the first at most 3, so the value fits a byte.
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        is_octal(field[i + 2]) && is_octal(field[i + 3])) {
      out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::optional<MountEntry> parse_mountinfo_line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::vector<std::string_view> fields = split_fields(line);
  // id parent major:minor root mount-point options [optional...] - type source super-options
  if (fields.size() < 10) return std::nullopt;
  std::size_t dash = 6;
  while (dash < fields.size() && fields[dash] != "-") ++dash;
  if (dash + 3 >= fields.size()) return std::nullopt;

  MountEntry entry;
  if (!parse_number(fields[0], entry.mount_id) || !parse_number(fields[1], entry.parent_id)) return std::nullopt;
  std::string_view device = fields[2];
  std::size_t colon = device.find(':');
  if (colon == std::string_view::npos || !parse_number(device.substr(0, colon), entry.major) ||
      !parse_number(device.substr(colon + 1), entry.minor))
    return std::nullopt;
  if (fields[3].empty() || fields[4].empty()) return std::nullopt;
  entry.root = unescape_octal(fields[3]);
  entry.mount_point = unescape_octal(fields[4]);
  entry.mount_options = unescape_octal(fields[5]);
  entry.fs_type = unescape_octal(fields[dash + 1]);
  entry.source = unescape_octal(fields[dash + 2]);
  // Anything after the super options belongs to them: a source with a bare space is not split.
  std::string_view rest = line.substr(static_cast<std::size_t>(fields[dash + 3].data() - line.data()));
  entry.super_options = unescape_octal(rest);
  if (entry.mount_point.front() != '/' || entry.fs_type.empty()) return std::nullopt;
  return entry;
}

std::vector<MountEntry> parse_mountinfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    if (auto entry = parse_mountinfo_line(text.substr(start, end - start))) mounts.push_back(std::move(*entry));
    start = end + 1;
  }
  return mounts;
}

const MountEntry* find_mount_by_id(const std::vector<MountEntry>& mounts, std::uint64_t id) {
  for (const MountEntry& entry : mounts)
    if (entry.mount_id == id) return &entry;
  return nullptr;
}

const MountEntry* find_mount_by_prefix(const std::vector<MountEntry>& mounts, std::string_view path) {
  const MountEntry* best = nullptr;
  for (const MountEntry& entry : mounts) {
    if (!mount_point_holds(entry.mount_point, path)) continue;
    if (!best || entry.mount_point.size() >= best->mount_point.size()) best = &entry;
  }
  return best;
}

std::string normalise_path(std::string_view path) {
  if (path.empty() || path.front() != '/') return {};
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string_view::npos) slash = path.size();
    std::string_view part = path.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string out;
  for (std::string_view part : parts) out.append("/").append(part);
  return out.empty() ? "/" : out;
}

}  // namespace ostrael::linux_
