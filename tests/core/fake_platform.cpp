// The fake platform's operations.
#include "fake_platform.h"

#include <algorithm>

namespace ostrael::testing {

namespace {

class FakeDrive : public Drive {
 public:
  FakeDrive(FakePlatform& p) : p_(p) { ++p_.live_objects; }
  ~FakeDrive() override { --p_.live_objects; }

  template <class T>
  Result<T> get(const char* name, const T& value) {
    if (auto* f = p_.enter(name)) return *f;
    return value;
  }
  Result<std::string> drive_letter() override { return get("DriveLetter", p_.drive.letter); }
  Result<std::int32_t> drive_type() override { return get("DriveType", p_.drive.type); }
  Result<std::string> file_system() override { return get("FileSystem", p_.drive.file_system); }
  Result<double> free_space() override { return get("FreeSpace", p_.drive.free_bytes); }
  Result<bool> is_ready() override { return get("IsReady", p_.drive.ready); }
  Result<std::string> path() override { return get("Path", p_.drive.path); }
  Result<std::int32_t> serial_number() override { return get("SerialNumber", p_.drive.serial); }
  Result<double> total_size() override { return get("TotalSize", p_.drive.total_bytes); }
  Result<std::string> volume_name() override { return get("VolumeName", p_.drive.volume_name); }

 private:
  FakePlatform& p_;
};

class FakeFileSystemObject : public FileSystemObject {
 public:
  FakeFileSystemObject(FakePlatform& p) : p_(p) { ++p_.live_objects; }
  ~FakeFileSystemObject() override { --p_.live_objects; }

  Result<std::string> get_drive_name(std::string_view path) override {
    if (auto* f = p_.enter("GetDriveName")) return *f;
    return std::string(path.substr(0, 2));
  }
  Result<std::unique_ptr<Drive>> get_drive(std::string_view) override {
    if (auto* f = p_.enter("GetDrive")) return *f;
    return std::unique_ptr<Drive>(std::make_unique<FakeDrive>(p_));
  }

 private:
  FakePlatform& p_;
};

Failure not_open(const char* operation) { return Failure{operation, 52, "Bad file name or number"}; }

}  // namespace

const Failure* FakePlatform::enter(const std::string& operation) {
  calls.push_back(operation);
  auto it = failing.find(operation);
  return it == failing.end() ? nullptr : &it->second;
}

int FakePlatform::count(const std::string& operation) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), operation));
}

Result<std::string> FakePlatform::application_directory() {
  if (auto* f = enter("ApplicationDirectory")) return *f;
  return directory;
}

void FakePlatform::end_program() {
  enter("EndProgram");
  ended = true;
}

void FakePlatform::report_unhandled(std::string_view line) { diagnostics.emplace_back(line); }

Status FakePlatform::set_text1_text(std::string_view text) {
  if (auto* f = enter("SetText1Text")) return *f;
  text1 = text;
  return {};
}

Status FakePlatform::set_text1_visible(bool visible) {
  if (auto* f = enter("SetText1Visible")) return *f;
  text1_visible = visible;
  return {};
}

Status FakePlatform::clear_list1() {
  if (auto* f = enter("ClearList1")) return *f;
  list1.clear();
  list_adds_ = 0;
  return {};
}

Status FakePlatform::add_list1_line(std::string_view line) {
  if (auto* f = enter("AddList1Line")) return *f;
  if (++list_adds_ == fail_list_add_at) return Failure{"AddList1Line", 7, "Out of memory"};
  list1.emplace_back(line);
  return {};
}

Status FakePlatform::open_for_input(const std::string& path, int file_number) {
  opened_path = path;
  if (auto* f = enter("Open")) return *f;
  if (open_.count(file_number)) return Failure{"Open", 55, "File already open"};
  if (non_regular.count(path) || !files.count(path)) return Failure{"Open", 53, "File not found"};
  open_[file_number] = {path, 0};
  return {};
}

Result<std::uint64_t> FakePlatform::file_length(int file_number) {
  if (auto* f = enter("FileLength")) return *f;
  auto it = open_.find(file_number);
  if (it == open_.end()) return not_open("FileLength");
  return std::uint64_t{files[it->second.first].size()};
}

Result<std::string> FakePlatform::read_bytes(std::uint64_t count, int file_number) {
  if (auto* f = enter("Read")) return *f;
  auto it = open_.find(file_number);
  if (it == open_.end()) return not_open("Read");
  const std::string& contents = files[it->second.first];
  std::uint64_t& position = it->second.second;
  if (position + count > contents.size()) return Failure{"Read", 62, "Input past end of file"};
  std::string bytes = contents.substr(static_cast<std::size_t>(position), static_cast<std::size_t>(count));
  position += count;
  return bytes;
}

Status FakePlatform::close_file(int file_number) {
  if (auto* f = enter("Close")) return *f;
  if (!open_.erase(file_number)) return not_open("Close");
  return {};
}

Result<std::string> FakePlatform::format_number(double value) {
  if (auto* f = enter("FormatNumber")) return *f;
  return format_whole_number(value, grouping);
}

Result<std::string> FakePlatform::code_page_to_utf8(std::string_view bytes) {
  if (auto* f = enter("CodePageToUtf8")) return *f;
  return windows_1252_to_utf8(bytes);
}

Result<std::unique_ptr<FileSystemObject>> FakePlatform::create_file_system_object() {
  if (auto* f = enter("CreateFileSystemObject")) return *f;
  return std::unique_ptr<FileSystemObject>(std::make_unique<FakeFileSystemObject>(*this));
}

Status FakePlatform::open_folder(std::string_view folder) {
  if (auto* f = enter("OpenFolder")) return *f;
  shell_requests.emplace_back(folder);
  return {};
}

}  // namespace ostrael::testing
