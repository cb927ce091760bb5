// Number format, code page and the scripting runtime through the real OS (Wine in CI).
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <map>
#include <string>

#include "drive_provider.h"
#include "text_conversions.h"
#include "utf16.h"

namespace {

std::wstring user_locale() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  return GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) ? name : L"";
}

bool running_under_wine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Kilobyte counts as the report gives them to FormatNumber, in the two locales the tests run in.
TEST(FormatNumber, UsesTheUserLocaleWithNoDecimals) {
  const std::map<std::wstring, std::map<double, std::string>> expected{
      {L"en-US", {{2097152.0, "2,097,152"}, {67108864.0, "67,108,864"}, {3131968.0, "3,131,968"},
                  {1023.0 / 1024, "1"}, {511.0 / 1024, "0"}, {0.0, "0"}, {999.5, "1,000"}, {-1234.4, "-1,234"}}},
      {L"de-DE", {{2097152.0, "2.097.152"}, {67108864.0, "67.108.864"}, {1023.0 / 1024, "1"}, {999.5, "1.000"}}},
  };
  auto found = expected.find(user_locale());
  if (found == expected.end()) GTEST_SKIP() << "no expectations for this user locale";
  RecordProperty("user_locale", win32::to_utf8(found->first));
  win32::TextConversions text;
  for (const auto& [value, formatted] : found->second) {
    auto result = text.format_number(value);
    ASSERT_TRUE(result) << value;
    EXPECT_EQ(*result, formatted) << value;
  }
}

TEST(FormatNumber, FailsForWhatIsNotANumber) {
  win32::TextConversions text;
  EXPECT_FALSE(text.format_number(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(text.format_number(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(text.format_number(1e300));
}

TEST(CodePage, ConvertsTheSystemCodePageToUtf8) {
  if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
  win32::TextConversions text;
  EXPECT_EQ(*text.code_page_to_utf8("caf\xe9 \x80 \x93quoted\x94"), "caf\xc3\xa9 \xe2\x82\xac \xe2\x80\x9cquoted\xe2\x80\x9d");
  EXPECT_EQ(*text.code_page_to_utf8(""), "");
}

class ScriptingRuntime : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }
};

// The drive of the system folder, read property by property as the report does.
TEST_F(ScriptingRuntime, DescribesTheSystemDrive) {
  wchar_t windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  std::string folder = win32::to_utf8(windows);

  win32::DriveProvider provider;
  auto fso = provider.create_file_system_object();
  ASSERT_TRUE(fso) << describe(fso.failure());
  auto name = (*fso)->get_drive_name(folder);
  ASSERT_TRUE(name);
  EXPECT_EQ(*name, folder.substr(0, 2));
  auto drive = (*fso)->get_drive(*name);
  ASSERT_TRUE(drive) << describe(drive.failure());

  EXPECT_EQ(*(*drive)->drive_letter(), folder.substr(0, 1));
  // The runtime numbers drive types from 0 (unknown) to 5 (RAM disk); GetDriveTypeW from 2.
  UINT type = GetDriveTypeW((win32::to_utf16(*name) + L"\\").c_str());
  EXPECT_EQ(*(*drive)->drive_type(), type >= DRIVE_REMOVABLE && type <= DRIVE_RAMDISK ? static_cast<std::int32_t>(type) - 1 : 0);
  EXPECT_TRUE(*(*drive)->is_ready());
  auto total = (*drive)->total_size();
  auto free = (*drive)->free_space();
  ASSERT_TRUE(total && free);
  EXPECT_GT(*total, 0.0);
  EXPECT_LE(*free, *total);

  auto path = (*drive)->path();
  if (running_under_wine()) {
    // Wine's scripting runtime has no Drive.Path; the report stops there (see the end-to-end test).
    ASSERT_FALSE(path);
    EXPECT_EQ(path.failure().code, static_cast<std::int64_t>(E_NOTIMPL));
  } else {
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, *name);
  }
}

TEST_F(ScriptingRuntime, AnUnknownDriveIsAFailureNotACrash) {
  win32::DriveProvider provider;
  auto fso = provider.create_file_system_object();
  ASSERT_TRUE(fso);
  EXPECT_FALSE((*fso)->get_drive("no such drive"));
}

}  // namespace
