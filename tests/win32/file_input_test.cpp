// File input against the real file system: regular files are read exactly, anything else is
// refused at once instead of blocking.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "file_input.h"
#include "unique_handle.h"
#include "utf16.h"

namespace {

class FileInputTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    folder_ = std::wstring(temp) + L"ostrael file input " + std::to_wstring(GetCurrentProcessId()) + L" \u00e9";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  void TearDown() override {
    for (const std::wstring& f : created_) DeleteFileW(f.c_str());
    RemoveDirectoryW((folder_ + L"\\sub").c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  std::string write(const std::wstring& name, const std::string& bytes) {
    std::wstring path = folder_ + L"\\" + name;
    win32::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_TRUE(file);
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    created_.push_back(path);
    return win32::to_utf8(path);
  }

  std::wstring folder_;
  std::vector<std::wstring> created_;
  win32::FileInput input_;
};

TEST_F(FileInputTest, ReadsARegularFileExactlyAndFailsPastItsEnd) {
  std::string path = write(L"message.txt", std::string("line 1\r\nline 2\0end", 18));
  ASSERT_TRUE(input_.open_for_input(path, 1));
  EXPECT_EQ(*input_.file_length(1), 18u);
  EXPECT_EQ(*input_.read_bytes(18, 1), std::string("line 1\r\nline 2\0end", 18));
  EXPECT_FALSE(input_.read_bytes(1, 1));
  EXPECT_TRUE(input_.close_file(1));
  // The number is free again, and closed numbers answer with failures.
  EXPECT_FALSE(input_.file_length(1));
  EXPECT_FALSE(input_.close_file(1));
  EXPECT_TRUE(input_.open_for_input(path, 1));
  EXPECT_FALSE(input_.open_for_input(path, 1));  // already open under that number
}

TEST_F(FileInputTest, ReadsAFileTheOwnerHasOpenForWriting) {
  std::string path = write(L"message.txt", "hello");
  win32::UniqueFile editor(CreateFileW(win32::to_utf16(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(editor);
  ASSERT_TRUE(input_.open_for_input(path, 1));
  EXPECT_EQ(*input_.read_bytes(5, 1), "hello");
}

TEST_F(FileInputTest, RefusesMissingFilesAndDirectories) {
  EXPECT_FALSE(input_.open_for_input(win32::to_utf8(folder_ + L"\\missing.txt"), 1));
  ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\sub").c_str(), nullptr));
  auto status = input_.open_for_input(win32::to_utf8(folder_ + L"\\sub"), 1);
  EXPECT_FALSE(status);
  EXPECT_FALSE(input_.file_length(1));
}

TEST_F(FileInputTest, RefusesAPipeWithoutWaitingForIt) {
  std::wstring name = L"\\\\.\\pipe\\ostrael-file-input-" + std::to_wstring(GetCurrentProcessId());
  // A server that never writes: reading from it would block for ever.
  win32::UniqueFile server(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr));
  ASSERT_TRUE(server);
  EXPECT_FALSE(input_.open_for_input(win32::to_utf8(name), 1));
  EXPECT_FALSE(input_.read_bytes(1, 1));
}

TEST_F(FileInputTest, RefusesDevices) {
  EXPECT_FALSE(input_.open_for_input("NUL", 1));
  EXPECT_FALSE(input_.open_for_input("\\\\.\\CON", 2));
}

}  // namespace
