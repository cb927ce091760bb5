// Helpers for the Linux tests: temporary directories and running tools without a shell.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ostrael::linux_::testing {

// A fresh directory in the system temporary directory, removed with everything in it at the end.
class TempDir {
 public:
  explicit TempDir(const std::string& name_with_spaces = "ostrael test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct RunResult {
  int status = -1;  // exit status, or -1 when the program could not start or was killed
  std::string output;  // stdout and stderr together
};

// Runs argv[0] from PATH with the given arguments, as a list: nothing goes through a shell.
RunResult run(const std::vector<std::string>& argv);
bool have_program(const std::string& name);
// Starts argv[0] from PATH with its output thrown away and does not wait; -1 when it cannot.
int spawn(const std::vector<std::string>& argv);

// Creates `path` as a sparse file of `bytes`.
void make_sparse_file(const std::string& path, long long bytes);
void write_file(const std::string& path, const std::string& contents);

}  // namespace ostrael::linux_::testing
