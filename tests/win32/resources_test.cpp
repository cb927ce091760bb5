// The resources compiled into Ostrael.exe: icon group, cursor, pictures, version record, manifest.
#include <gtest/gtest.h>

#include <windows.h>
#include <imagehlp.h>

#include <fstream>
#include <string>

#include "pictures.h"
#include "resource.h"
#include "ui/gif.h"
#include "ui/picture.h"
#include "ui/layout.h"

namespace {

namespace ui = ostrael::ui;

class Resources : public testing::Test {
 protected:
  void SetUp() override {
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("OSTRAEL_EXE", path, MAX_PATH);
    if (!n || n >= MAX_PATH) GTEST_SKIP() << "OSTRAEL_EXE is not set";
    std::string windows_path = path;
    // CTest hands over the Unix path; Wine shows the Unix root as drive Z:.
    if (windows_path.front() == '/') windows_path = "Z:" + windows_path;
    for (char& c : windows_path)
      if (c == '/') c = '\\';
    path_ = windows_path;
    exe_ = LoadLibraryExA(windows_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(exe_) << windows_path << " error " << GetLastError();
  }
  void TearDown() override {
    if (exe_) FreeLibrary(exe_);
  }
  std::string bytes(LPCWSTR type, int id) {
    HRSRC found = FindResourceW(exe_, MAKEINTRESOURCEW(id), type);
    if (!found) return {};
    return std::string(static_cast<const char*>(LockResource(LoadResource(exe_, found))), SizeofResource(exe_, found));
  }
  HMODULE exe_ = nullptr;
  std::string path_;
};

#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST_F(Resources, OneIconGroupWithTheNineImagesThatLoadsAtEverySize) {
  std::string group = bytes(RT_GROUP_ICON, IDI_OSTRAEL);
  ASSERT_GE(group.size(), 6u);
  WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
  ASSERT_EQ(count, 9);
  const auto* entries = reinterpret_cast<const IconGroupEntry*>(group.data() + 6);
  const int sizes[9] = {16, 16, 32, 32, 48, 48, 16, 32, 48};
  const int bits[9] = {4, 8, 4, 8, 4, 8, 32, 32, 32};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(entries[i].width, sizes[i]) << i;
    EXPECT_EQ(entries[i].bit_count, bits[i]) << i;
  }
  for (int size : {16, 32, 48}) {
    HICON icon = static_cast<HICON>(LoadImageW(exe_, MAKEINTRESOURCEW(IDI_OSTRAEL), IMAGE_ICON, size, size, 0));
    EXPECT_TRUE(icon) << size << " error " << GetLastError();
    if (icon) DestroyIcon(icon);
  }
}

TEST_F(Resources, TheHandCursorHasItsHotSpotAtTheFingertip) {
  HCURSOR cursor = static_cast<HCURSOR>(LoadImageW(exe_, MAKEINTRESOURCEW(IDC_HAND_POINTER), IMAGE_CURSOR, 0, 0, 0));
  ASSERT_TRUE(cursor) << GetLastError();
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 5u);
  EXPECT_EQ(info.yHotspot, 0u);
  DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DestroyCursor(cursor);
}

// A size's ids are the 48 px ones, a step up for each larger size drawn; each has its coverage
// beside it, which fits it.
TEST_F(Resources, EachPictureIsAGifAtEachSizeWithItsCoverage) {
  for (int id : {IDR_CLOSE_GIF, IDR_MESSAGE_GIF, IDR_INFO_GIF, IDR_OPEN_GIF})
    for (std::size_t step = 0; step < ui::kPictureSizes.size(); ++step) {
      const int at = id + IDR_SIZE_STEP * static_cast<int>(step);
      auto picture = ui::decode_gif(bytes(RT_RCDATA, at));
      auto coverage = ui::decode_gif(bytes(RT_RCDATA, at + IDR_COVERAGE));
      ASSERT_TRUE(picture && picture->width == ui::kPictureSizes[step]) << id << " at " << ui::kPictureSizes[step];
      ASSERT_TRUE(coverage) << id << " at " << ui::kPictureSizes[step];
      EXPECT_FALSE(ui::without_matte(*picture, *coverage).pixels.empty()) << id << " at " << ui::kPictureSizes[step];
    }
}

// Between the sizes drawn, and past the largest at 400 %, the hand is made from the next larger
// drawing or the largest: an alpha cursor of the size asked for, its hot spot at the fingertip.
TEST_F(Resources, TheHandAtASizeNotDrawnKeepsItsHotSpotAtTheFingertip) {
  for (int size : {36, 128}) {
    auto hand = win32::hand_cursor(exe_, size);
    ASSERT_TRUE(hand) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(hand->get(), &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_TRUE(colour.bmWidth == size && colour.bmHeight == size && colour.bmBitsPixel == 32) << size;
    // Within a pixel of the 32 px drawing's fingertip at (5, 0), at this size.
    EXPECT_NEAR(info.xHotspot, 5.0 * size / 32, size / 32.0) << size;
    EXPECT_LE(info.yHotspot * 32.0 / size, 1.0) << size;
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
  }
}

TEST_F(Resources, VersionRecord) {
  std::string version = bytes(RT_VERSION, 1);
  ASSERT_FALSE(version.empty());
  const auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(version.data() + 40);
  ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  std::wstring text(reinterpret_cast<const wchar_t*>(version.data()), version.size() / 2);
  for (const wchar_t* expected : {L"040904B0", L"2.00.0001", L"Ostrael English Edition", L"Ostrael.exe"})
    EXPECT_NE(text.find(expected), std::wstring::npos) << testing::PrintToString(std::wstring(expected));
}

TEST_F(Resources, HeaderAsksForAslrDepTerminalServerAwarenessAndRunFromSwap) {
  std::ifstream in(path_, std::ios::binary);
  std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(image.size(), sizeof(IMAGE_DOS_HEADER));
  auto nt_offset = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data())->e_lfanew;
  ASSERT_LE(nt_offset + sizeof(IMAGE_NT_HEADERS32), image.size());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + nt_offset);
  ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
  for (unsigned flag : {IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, IMAGE_DLLCHARACTERISTICS_NX_COMPAT,
                    IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE})
    EXPECT_EQ(nt->OptionalHeader.DllCharacteristics & flag, flag) << std::hex << flag;
  // The image goes to the page file when it starts from a pen or a share, so pulling it is safe.
  for (unsigned flag : {IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP, IMAGE_FILE_NET_RUN_FROM_SWAP})
    EXPECT_EQ(nt->FileHeader.Characteristics & flag, flag) << std::hex << flag;
  // The bits are set after the link, so the checksum the linker wrote must have followed them.
  DWORD stored = 0, computed = 0;
  ASSERT_EQ(MapFileAndCheckSumA(path_.c_str(), &stored, &computed), static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_EQ(stored, nt->OptionalHeader.CheckSum);
  if (stored != 0) {
    EXPECT_EQ(stored, computed);
  }
}

TEST_F(Resources, ManifestAsksForCommonControls6AndPerMonitorDpi) {
  std::string manifest = bytes(RT_MANIFEST, 1);
  for (const char* expected : {"Microsoft.Windows.Common-Controls", "6.0.0.0", "PerMonitorV2", "asInvoker", "supportedOS"})
    EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
}

}  // namespace
