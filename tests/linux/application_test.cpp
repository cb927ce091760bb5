// The application directory and the diagnostic line.
#include "platform/linux/application.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace ostrael::linux_ {
namespace {

TEST(Application, DirectoryEndsWithASeparatorOnlyAtTheRoot) {
  struct Case {
    const char *exe, *dir;
  } cases[] = {
      {"/media/pen/ostrael", "/media/pen"},
      {"/ostrael", "/"},
      {"/media/my pen/$(touch x)/ostrael", "/media/my pen/$(touch x)"},
      {"/media/pen/ostrael (deleted)", "/media/pen"},
  };
  for (const Case& c : cases) EXPECT_EQ(directory_of(c.exe), c.dir) << c.exe;
}

// Started through the loader, /proc/self/exe names the loader; the program is found elsewhere.
TEST(Application, ProgramPathThroughTheLoader) {
  const std::string ld = "/usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2";
  // A file system of a few files, with /lib64 and /run/pen as symbolic links.
  ResolvePath resolve = [&](const std::string& path) -> std::string {
    std::string p = std::filesystem::path(path).lexically_normal().string();
    static const std::map<std::string, std::string> links = {
        {"/lib64/ld-linux-x86-64.so.2", "/usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2"},
        {"/run/pen/ostrael", "/media/my pen/ostrael"}};
    if (auto it = links.find(p); it != links.end()) p = it->second;
    return p == ld || p == "/media/pen/ostrael" || p == "/media/my pen/ostrael" ? p : "";
  };
  struct Case {
    const char* what;
    StartPaths paths;
    std::string program;
  } cases[] = {
      {"direct start", {"/media/pen/ostrael", "/lib64/ld-linux-x86-64.so.2", "/media/pen/ostrael", "", "/"},
       "/media/pen/ostrael"},
      {"direct start of a deleted program", {"/media/pen/ostrael (deleted)", "/lib64/ld-linux-x86-64.so.2", "", "", "/"},
       "/media/pen/ostrael (deleted)"},
      {"loader, AT_EXECFN relative to the start's folder",
       {ld, "/lib64/ld-linux-x86-64.so.2", "./ostrael", "", "/media/my pen"}, "/media/my pen/ostrael"},
      {"loader, AT_EXECFN through a link", {ld, "/lib64/ld-linux-x86-64.so.2", "/run/pen/ostrael", "", "/"},
       "/media/my pen/ostrael"},
      {"loader, AT_EXECFN is the loader too",
       {ld, "/lib64/ld-linux-x86-64.so.2", "/lib64/ld-linux-x86-64.so.2", "../media/pen/ostrael", "/usr"},
       "/media/pen/ostrael"},
      {"loader, AT_EXECFN gone", {ld, "/lib64/ld-linux-x86-64.so.2", "/media/none/ostrael", "/media/pen/ostrael", "/"},
       "/media/pen/ostrael"},
      {"loader, nothing names the program", {ld, "/lib64/ld-linux-x86-64.so.2", "/lib64/ld-linux-x86-64.so.2", "", "/"},
       ""},
  };
  for (const Case& c : cases) EXPECT_EQ(program_path(c.paths, resolve), c.program) << c.what;
}

TEST(Application, DirectoryIsThatOfTheRunningExecutable) {
  Application application;
  auto directory = application.application_directory();
  ASSERT_TRUE(directory);
  EXPECT_EQ(*directory, std::filesystem::canonical("/proc/self/exe").parent_path().string());
}

TEST(Application, UnhandledFailureIsOneLineOnStderr) {
  ::testing::internal::CaptureStderr();
  Application application;
  application.report_unhandled("Image3_Click: FileSystem failed (107): Transport endpoint\r\nis not connected");
  std::string written = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(written, "Image3_Click: FileSystem failed (107): Transport endpoint  is not connected\n");
}

TEST(Application, EndProgramEndsTheProcessAtOnce) {
  EXPECT_EXIT(
      {
        Application application;
        std::atexit([] { ::write(2, "atexit ran", 10); });
        application.end_program();
        ::write(2, "returned", 8);
      },
      ::testing::ExitedWithCode(0), "^$");
}

}  // namespace
}  // namespace ostrael::linux_
