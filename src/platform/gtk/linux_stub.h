// Stand-in for the Linux services until they land: enough to run the window and its tests.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "panel/message_text.h"
#include "platform/platform.h"

namespace ostrael::linux_ {

class Application : public ostrael::Application {
 public:
  Result<std::string> application_directory() override {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return Failure{"readlink", 0, ""};
    std::string path(buf, static_cast<std::size_t>(n));
    std::size_t slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
  }
  void end_program() override {
    std::fflush(nullptr);
    _exit(0);
  }
  void report_unhandled(std::string_view line) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  }
};

class FileInput : public ostrael::FileInput {
 public:
  Status open_for_input(const std::string& path, int n) override {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Failure{"open", 2, path};
    files_[n] = {std::istreambuf_iterator<char>(in), {}};
    return {};
  }
  Result<std::uint64_t> file_length(int n) override { return std::uint64_t{files_[n].size()}; }
  Result<std::string> read_bytes(std::uint64_t count, int n) override { return files_[n].substr(0, count); }
  Status close_file(int n) override {
    files_.erase(n);
    return {};
  }

 private:
  std::map<int, std::string> files_;
};

class TextConversions : public ostrael::TextConversions {
 public:
  Result<std::string> format_number(double value) override { return std::to_string(static_cast<long long>(value)); }
  Result<std::string> code_page_to_utf8(std::string_view bytes) override { return windows_1252_to_utf8(bytes); }
};

class DriveProvider : public ostrael::DriveProvider {
 public:
  Result<std::unique_ptr<FileSystemObject>> create_file_system_object() override {
    return Failure{"create_file_system_object", 0, "not yet"};
  }
};

struct Services {
  Application application;
  FileInput files;
  TextConversions text;
  DriveProvider drives;
};

}  // namespace ostrael::linux_
