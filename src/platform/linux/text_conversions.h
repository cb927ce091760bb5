// FormatNumber and the 8-bit code page, both from the user's locale, and FAT labels in their DOS code page.
#pragma once

#include <string>
#include <string_view>

#include "panel/number_text.h"
#include "platform/platform.h"

namespace ostrael::linux_ {

// Bytes in a character set named as iconv knows it ("KOI8-R", "ISO-8859-15") as UTF-8; a byte
// the set leaves undefined becomes U+FFFD. Fails only for a set iconv does not know.
Result<std::string> codeset_to_utf8(std::string_view bytes, const std::string& codeset);

// A FAT volume label's bytes as UTF-8, read in the DOS code page that a vfat mount's codepage=
// option names ("850"), or in 437, the kernel's default, when `codepage` is empty. Trailing spaces
// are trimmed and ASCII stays as it is; any other byte the code page cannot give, or that iconv
// has no table for, becomes one U+FFFD.
std::string fat_label_to_utf8(std::string_view bytes, std::string_view codepage);

class TextConversions : public ostrael::TextConversions {
 public:
  // An empty name follows the user's environment (LC_ALL, LC_NUMERIC, LC_CTYPE, LANG), read
  // afresh on every call whatever setlocale() the program did; tests pass a locale by name.
  explicit TextConversions(std::string locale_name = {}) : locale_name_(std::move(locale_name)) {}

  // The locale's LC_NUMERIC grouping and thousands separator; the separator comes out as UTF-8.
  Result<std::string> format_number(double value) override;
  // The locale's codeset when it is a single-byte one other than ASCII; Windows-1252 otherwise.
  Result<std::string> code_page_to_utf8(std::string_view bytes) override;

  Result<DigitGrouping> digit_grouping();

 private:
  std::string locale_name_;
};

}  // namespace ostrael::linux_
