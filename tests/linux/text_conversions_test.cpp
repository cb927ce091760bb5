// FormatNumber in the user's locale and the 8-bit code page.
#include "platform/linux/text_conversions.h"

#include <locale.h>
#include <stdlib.h>

#include <gtest/gtest.h>

namespace ostrael::linux_ {
namespace {

bool locale_exists(const char* name) {
  locale_t locale = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(nullptr));
  if (locale) freelocale(locale);
  return locale != nullptr;
}

TEST(TextConversions, FormatNumberFollowsTheLocalesGrouping) {
  struct Case {
    const char* locale;
    double value;
    const char* text;
  } cases[] = {
      {"en_US.UTF-8", 3131968.0, "3,131,968"},  {"en_US.UTF-8", 67108864.0, "67,108,864"},
      {"en_US.UTF-8", 1023.0 / 1024, "1"},      {"de_DE.UTF-8", 3131968.0, "3.131.968"},
      {"C", 3131968.0, "3131968"},              {"POSIX", 999.0, "999"},
      {"no_SUCH.locale", 3131968.0, "3131968"},  // an unknown locale falls back to C
  };
  for (const Case& c : cases) {
    if (!locale_exists(c.locale) && std::string(c.locale).find("SUCH") == std::string::npos) {
      ADD_FAILURE() << c.locale << " is not generated; run tools/locales.sh as root";
      continue;
    }
    TextConversions text(c.locale);
    auto formatted = text.format_number(c.value);
    ASSERT_TRUE(formatted) << c.locale;
    EXPECT_EQ(*formatted, c.text) << c.locale;
  }
}

TEST(TextConversions, UserLocaleIsReadFromTheEnvironmentOnEachCall) {
  if (!locale_exists("de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not generated; run tools/locales.sh as root";
  const char* saved = getenv("LC_ALL");
  std::string old = saved ? saved : "";
  TextConversions text;
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  EXPECT_EQ(*text.format_number(3131968.0), "3.131.968");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(*text.format_number(3131968.0), "3131968");
  if (saved) {
    setenv("LC_ALL", old.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

TEST(TextConversions, CodePageFollowsASingleByteLocaleOtherwiseWindows1252) {
  // KOI8-R 0xC1 is Cyrillic small a; Windows-1252 0x80 is the euro sign.
  EXPECT_EQ(*codeset_to_utf8("\xC1", "KOI8-R"), "\xD0\xB0");
  EXPECT_EQ(*codeset_to_utf8("a\xA4z", "ISO-8859-15"), "a\xE2\x82\xAC" "z");
  EXPECT_EQ(*codeset_to_utf8("\x80", "ISO-8859-8") , "\xC2\x80");
  EXPECT_EQ(*codeset_to_utf8("\xFF", "ISO-8859-8") , "\xEF\xBF\xBD");  // undefined in Hebrew
  EXPECT_FALSE(codeset_to_utf8("x", "NO-SUCH-SET"));

  EXPECT_EQ(*TextConversions("C").code_page_to_utf8("\x80\xE9"), "\xE2\x82\xAC\xC3\xA9");
  if (locale_exists("en_US.UTF-8")) {
    EXPECT_EQ(*TextConversions("en_US.UTF-8").code_page_to_utf8("\x80"), "\xE2\x82\xAC");
  }
}

TEST(TextConversions, FatLabelIsReadInItsDosCodePage) {
  // From the code page charts: 0x99 is Ö in 437 and 850, 0x9B is ¢ in 437 and ø in 850, 0x90 is É
  // in both; 874 leaves 0xDB undefined, 0x81 in 932 is the first byte of a pair, and there is no 9999.
  struct Case {
    const char* bytes;
    const char* codepage;
    const char* text;
  } cases[] = {
      {"J\x99RG", "", "J\xC3\x96RG"},         {"J\x9BRG", "", "J\xC2\xA2RG"},
      {"J\x9BRG", "437", "J\xC2\xA2RG"},      {"J\x9BRG", "850", "J\xC3\xB8RG"},
      {"CAF\x90   ", "850", "CAF\xC3\x89"},  {"OWNER PEN  ", "", "OWNER PEN"},
      {"A\xDB" "B", "874", "A\xEF\xBF\xBD" "B"}, {"AB\x81", "932", "AB\xEF\xBF\xBD"},
      {"A\x99", "9999", "A\xEF\xBF\xBD"},     {"", "", ""},
      {"   ", "850", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(fat_label_to_utf8(c.bytes, c.codepage), c.text) << "code page " << c.codepage;
}

}  // namespace
}  // namespace ostrael::linux_
