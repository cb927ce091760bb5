// The backend's own conversions: EDIT line breaks, the executable's directory, the folder the
// shell gets, and VARIANTs from the scripting runtime.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <algorithm>

#include "application.h"
#include "utf16.h"
#include "drive_provider.h"
#include "main_window.h"
#include "shell.h"

namespace {

TEST(EditText, EveryLineBreakBecomesCrLf) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"a\r\nb", L"a\r\nb"},         // already CRLF: unchanged, not doubled
      {L"a\nb", L"a\r\nb"},           // LF
      {L"a\rb", L"a\r\nb"},           // lone CR
      {L"a\r\r\nb", L"a\r\n\r\nb"},   // CR then CRLF: two breaks, never the EDIT's soft-break marker
      {L"a\n\rb", L"a\r\n\r\nb"},     // LF then CR: two breaks
      {L"\n\n", L"\r\n\r\n"},
      {L"end\r", L"end\r\n"},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(win32::with_crlf_breaks(c.in), c.out) << "input: " << testing::PrintToString(std::wstring(c.in));
}

// Text1 takes a long message in pieces; appended one after the other they must give back the
// text exactly, so no piece may end between CR and LF (two breaks) or inside a surrogate pair.
TEST(EditText, PiecesRebuildTheTextAndKeepBreaksAndPairsWhole) {
  std::wstring text;
  for (int i = 0; i < 300; ++i) {
    text += std::wstring(static_cast<std::size_t>(i % 23), L'a') + L"\r\n";
    text += L"\U0001F600b\U0001F600\U0001F600";
    if (i % 7 == 0) text += L"\r\n\r\n";
  }
  text += std::wstring(500, L'z') + L"\r\n";  // a long run with no break in reach
  for (std::size_t most : {0u, 1u, 2u, 3u, 5u, 16u, 61u, 4096u, 100000u}) {
    SCOPED_TRACE(most);
    std::wstring rebuilt;
    std::size_t pieces = 0;
    for (std::size_t at = 0; at < text.size(); ++pieces) {
      std::size_t end = win32::text_piece_end(text, at, most);
      ASSERT_GT(end, at);
      ASSERT_LE(end - at, std::max<std::size_t>(most, 2));
      ASSERT_LE(end, text.size());
      if (end < text.size()) {
        EXPECT_FALSE(text[end - 1] == L'\r' && text[end] == L'\n') << "CRLF split at " << end;
        EXPECT_FALSE(text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) << "surrogate pair split at " << end;
      }
      rebuilt.append(text, at, end - at);
      at = end;
    }
    EXPECT_TRUE(rebuilt == text);
    if (most >= text.size()) {
      EXPECT_EQ(pieces, 1u);
    }
  }
  EXPECT_EQ(win32::text_piece_end(text, text.size(), 10), text.size());
}

TEST(EditText, PiecesEndAtALineEndWhenOneIsNear) {
  EXPECT_EQ(win32::text_piece_end(L"abcd\r\nefghijkl", 0, 8), 6u);   // after the break
  EXPECT_EQ(win32::text_piece_end(L"a\r\nbcdefghijkl", 0, 8), 8u);   // too far back: cut at the size
  EXPECT_EQ(win32::text_piece_end(L"abcdefg\r\nhijkl", 0, 8), 7u);   // before the CRLF, not inside it
  EXPECT_EQ(win32::text_piece_end(L"xxabcd\r\nefghijkl", 2, 8), 8u);  // counted from where it starts
  EXPECT_EQ(win32::text_piece_end(L"short", 0, 8), 5u);
}

TEST(ApplicationDirectory, EndsInBackslashOnlyAtTheRoot) {
  EXPECT_EQ(win32::directory_of(L"P:\\Ostrael.exe"), L"P:\\");
  EXPECT_EQ(win32::directory_of(L"P:\\tools\\Ostrael.exe"), L"P:\\tools");
  EXPECT_EQ(win32::directory_of(L"P:\\a b\\\u00dc\u2603\\Ostrael.exe"), L"P:\\a b\\\u00dc\u2603");
  EXPECT_EQ(win32::directory_of(L"\\\\server\\share\\Ostrael.exe"), L"\\\\server\\share");
}

TEST(ApplicationDirectory, IsTheFolderOfTheRunningProgram) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  ASSERT_GT(n, 0u);
  auto directory = win32::Application().application_directory();
  ASSERT_TRUE(directory);
  std::wstring expected(path, n);
  expected.resize(expected.find_last_of(L'\\'));
  EXPECT_EQ(win32::to_utf16(*directory), expected);
}

TEST(ShellFolder, GetsExactlyOneTrailingBackslashAndKeepsNonAsciiNames) {
  EXPECT_EQ(win32::folder_for_shell("P:\\"), L"P:\\");
  EXPECT_EQ(win32::folder_for_shell("P:\\tools"), L"P:\\tools\\");
  // Characters outside the 8-bit code page survive: the folder goes to the shell in UTF-16.
  EXPECT_EQ(win32::folder_for_shell("P:\\\xe2\x98\x83 \xd0\x96"), L"P:\\\u2603 \u0416\\");
}

VARIANT make(VARTYPE type) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = type;
  return v;
}

TEST(DriveSizes, EveryNumericVariantBecomesItsByteCount) {
  VARIANT i4 = make(VT_I4);
  V_I4(&i4) = 2147483647;
  VARIANT r8 = make(VT_R8);
  V_R8(&r8) = 68719476736.0;
  VARIANT i8 = make(VT_I8);
  V_I8(&i8) = 4009754624LL;
  VARIANT ui8 = make(VT_UI8);
  V_UI8(&ui8) = 18446744073709551615ULL;
  VARIANT decimal = make(VT_DECIMAL);
  ASSERT_EQ(VarDecFromUI8(68719476736ULL, &V_DECIMAL(&decimal)), S_OK);
  V_VT(&decimal) = VT_DECIMAL;  // VarDecFromUI8 writes over the whole VARIANT
  VARIANT cy = make(VT_CY);
  V_CY(&cy).int64 = 3207135232LL * 10000;

  struct Case {
    VARIANT* v;
    double bytes;
  } cases[] = {{&i4, 2147483647.0},       {&r8, 68719476736.0}, {&i8, 4009754624.0},
               {&ui8, 18446744073709551615.0}, {&decimal, 68719476736.0}, {&cy, 3207135232.0}};
  for (const Case& c : cases) {
    auto bytes = win32::variant_to_double(*c.v);
    ASSERT_TRUE(bytes) << "vt " << V_VT(c.v);
    EXPECT_EQ(*bytes, c.bytes) << "vt " << V_VT(c.v);
  }
}

TEST(DriveSizes, TextsAndEmptiesAreNotByteCounts) {
  VARIANT empty = make(VT_EMPTY);
  VARIANT null = make(VT_NULL);
  VARIANT text = make(VT_BSTR);
  V_BSTR(&text) = SysAllocString(L"1024");
  for (VARIANT* v : {&empty, &null, &text}) {
    auto bytes = win32::variant_to_double(*v);
    ASSERT_FALSE(bytes) << "vt " << V_VT(v);
    EXPECT_EQ(bytes.failure().code, static_cast<std::int64_t>(DISP_E_TYPEMISMATCH));
  }
  VariantClear(&text);
}

TEST(DriveSerial, KeepsItsBitsAsASigned32BitNumber) {
  VARIANT i4 = make(VT_I4);
  V_I4(&i4) = static_cast<LONG>(0x8A4C1E3Du);
  VARIANT ui4 = make(VT_UI4);
  V_UI4(&ui4) = 0xFFFFFFFFu;
  VARIANT i2 = make(VT_I2);
  V_I2(&i2) = -5;
  EXPECT_EQ(*win32::variant_to_int32(i4), -1974723011);
  EXPECT_EQ(*win32::variant_to_int32(ui4), -1);
  EXPECT_EQ(*win32::variant_to_int32(i2), -5);
}

}  // namespace
