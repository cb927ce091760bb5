// A platform with no window system: controls are plain state, files live in memory, and any
// operation can be told to fail by its name.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "panel/message_text.h"
#include "panel/number_text.h"
#include "platform/platform.h"

namespace ostrael::testing {

struct FakeDriveData {
  std::string letter = "E";
  std::int32_t type = 1;
  std::string file_system = "FAT32";
  double free_bytes = 3207135232.0;
  bool ready = true;
  std::string path = "E:";
  std::int32_t serial = static_cast<std::int32_t>(0x8A4C1E3Du);
  double total_bytes = 4009754624.0;
  std::string volume_name;
};

class FakePlatform : public Application, public Controls, public FileInput, public TextConversions,
                     public DriveProvider, public Shell {
 public:
  // --- what the test sets up
  std::string directory = "E:\\";
  std::map<std::string, std::string> files;  // path -> contents
  std::set<std::string> non_regular;         // paths that exist but are not regular files
  FakeDriveData drive;
  DigitGrouping grouping{"\3", ","};
  std::map<std::string, Failure> failing;  // operation name -> its failure
  int fail_list_add_at = 0;                // n > 0: the n-th add_list1_line of a click fails

  // --- what the program did
  std::string text1;
  bool text1_visible = true;
  std::vector<std::string> list1;
  std::vector<std::string> shell_requests;
  std::vector<std::string> diagnostics;
  std::vector<std::string> calls;  // operation names in call order
  std::string opened_path;
  bool ended = false;
  int live_objects = 0;  // file-system and drive objects not yet released

  Platform platform() { return Platform{*this, *this, *this, *this, *this, *this}; }
  void fail(const std::string& operation, std::int64_t code = -2147024875) {
    failing[operation] = Failure{operation, code, "injected"};
  }
  int count(const std::string& operation) const;

  // Application
  Result<std::string> application_directory() override;
  void end_program() override;
  void report_unhandled(std::string_view line) override;
  // Controls
  Status set_text1_text(std::string_view text) override;
  Status set_text1_visible(bool visible) override;
  Status clear_list1() override;
  Status add_list1_line(std::string_view line) override;
  // FileInput
  Status open_for_input(const std::string& path, int file_number) override;
  Result<std::uint64_t> file_length(int file_number) override;
  Result<std::string> read_bytes(std::uint64_t count, int file_number) override;
  Status close_file(int file_number) override;
  // TextConversions
  Result<std::string> format_number(double value) override;
  Result<std::string> code_page_to_utf8(std::string_view bytes) override;
  // DriveProvider
  Result<std::unique_ptr<FileSystemObject>> create_file_system_object() override;
  // Shell
  Status open_folder(std::string_view directory) override;

  // Records the call; true when the test asked this operation to fail.
  const Failure* enter(const std::string& operation);

 private:
  std::map<int, std::pair<std::string, std::uint64_t>> open_;  // file number -> (path, position)
  int list_adds_ = 0;
};

}  // namespace ostrael::testing
