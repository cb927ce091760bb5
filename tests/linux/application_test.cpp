// The application directory and the diagnostic line.
#include "platform/linux/application.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

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
