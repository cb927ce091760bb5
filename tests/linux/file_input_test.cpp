// File input: only regular files open, nothing blocks, reads are exact.
#include "platform/linux/file_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace ostrael::linux_ {
namespace {

using testing::TempDir;
using testing::write_file;

TEST(FileInput, WholeFileReadsExactlyAndThenRefusesMore) {
  TempDir dir;
  std::string path = dir / "message.txt";
  write_file(path, "line one\r\nline two\n\xE9");
  FileInput files;
  ASSERT_TRUE(files.open_for_input(path, 1));
  EXPECT_EQ(*files.file_length(1), 20u);
  EXPECT_EQ(*files.read_bytes(8, 1), "line one");
  EXPECT_FALSE(files.read_bytes(13, 1));  // one past the end
  EXPECT_EQ(*files.read_bytes(12, 1), "\r\nline two\n\xE9");  // the failed read took nothing
  EXPECT_EQ(*files.read_bytes(0, 1), "");
  EXPECT_FALSE(files.read_bytes(UINT64_MAX, 1));  // no attempt to allocate it
  EXPECT_TRUE(files.close_file(1));
}

TEST(FileInput, FileNumbersAreHeldAndFreed) {
  TempDir dir;
  std::string path = dir / "message.txt";
  write_file(path, "x");
  FileInput files;
  EXPECT_FALSE(files.file_length(1));
  EXPECT_FALSE(files.read_bytes(1, 1));
  EXPECT_FALSE(files.close_file(1));
  EXPECT_FALSE(files.open_for_input(path, 0));
  EXPECT_FALSE(files.open_for_input(path, 512));
  ASSERT_TRUE(files.open_for_input(path, 1));
  EXPECT_FALSE(files.open_for_input(path, 1));
  EXPECT_TRUE(files.open_for_input(path, 2));
  EXPECT_TRUE(files.close_file(1));
  EXPECT_FALSE(files.close_file(1));
  EXPECT_TRUE(files.open_for_input(path, 1));
}

TEST(FileInput, WhatIsNotARegularFileFailsWithoutBlocking) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  std::filesystem::create_directory(dir / "directory");
  std::filesystem::create_symlink("/dev/zero", dir / "zero");
  std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
  write_file(dir / "secret", "x");
  ::chmod((dir / "secret").c_str(), 0);
  struct Case {
    const char* name;
    bool root_may_read;
  } cases[] = {
      {"fifo", false}, {"directory", false}, {"zero", false}, {"dangling", false}, {"missing", false}, {"secret", true},
  };
  for (const Case& c : cases) {
    if (c.root_may_read && ::geteuid() == 0) continue;
    FileInput files;
    EXPECT_FALSE(files.open_for_input(dir / c.name, 1)) << c.name;
    EXPECT_FALSE(files.file_length(1)) << c.name;
  }
  // /dev/zero itself and a terminal device: never read forever.
  FileInput files;
  EXPECT_FALSE(files.open_for_input("/dev/zero", 1));
  EXPECT_FALSE(files.open_for_input("/dev/tty", 1));
}

TEST(FileInput, LargeFileReadsInFull) {
  TempDir dir;
  std::string big(5 << 20, 'a');
  big.back() = 'z';
  write_file(dir / "big", big);
  FileInput files;
  ASSERT_TRUE(files.open_for_input(dir / "big", 1));
  EXPECT_EQ(*files.file_length(1), big.size());
  auto bytes = files.read_bytes(big.size(), 1);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, big);
}

TEST(FileInput, DescriptorsAreNotInheritedAndAreClosedWithTheObject) {
  TempDir dir;
  write_file(dir / "m", "x");
  int before = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ::close(before);
  {
    FileInput files;
    ASSERT_TRUE(files.open_for_input(dir / "m", 1));
    int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(probe);
    ASSERT_NE(probe, before);
    EXPECT_TRUE(::fcntl(before, F_GETFD) & FD_CLOEXEC);
  }
  int after = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ::close(after);
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace ostrael::linux_
