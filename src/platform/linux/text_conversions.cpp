// FormatNumber and the 8-bit code page from the user's locale; FAT labels in the drive's DOS code page.
#include "platform/linux/text_conversions.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "panel/message_text.h"

namespace ostrael::linux_ {

namespace {

struct LocaleFree {
  void operator()(locale_t locale) const { freelocale(locale); }
};
using UniqueLocale = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFree>;

// The named locale's numbers and characters; "C" when the name (or the environment) names a
// locale the system does not have, as setlocale() would leave it.
UniqueLocale open_locale(const std::string& name) {
  locale_t locale = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (!locale) locale = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  return UniqueLocale(locale);
}

bool is_utf8(std::string_view codeset) { return codeset == "UTF-8" || codeset == "utf8" || codeset == "UTF8"; }
bool is_ascii(std::string_view codeset) { return codeset == "ANSI_X3.4-1968" || codeset == "ASCII" || codeset == "US-ASCII"; }

std::size_t max_char_bytes(locale_t locale) {
  locale_t previous = uselocale(locale);
  std::size_t bytes = MB_CUR_MAX;
  uselocale(previous);
  return bytes;
}

struct IconvClose {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};

}  // namespace

Result<std::string> codeset_to_utf8(std::string_view bytes, const std::string& codeset) {
  iconv_t cd = iconv_open("UTF-8", codeset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return Failure{"CodePageToUtf8", errno, "no conversion from " + codeset};
  std::unique_ptr<void, IconvClose> owner(cd);

  std::string out;
  out.reserve(bytes.size() * 2);
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  char buffer[1024];
  while (in_left > 0) {
    char* dest = buffer;
    std::size_t dest_left = sizeof buffer;
    std::size_t r = iconv(cd, &in, &in_left, &dest, &dest_left);
    out.append(buffer, static_cast<std::size_t>(dest - buffer));
    if (r != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or a cut sequence at the end: show the byte as a replacement and go on after it.
    out += "\xEF\xBF\xBD";
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

std::string fat_label_to_utf8(std::string_view bytes, std::string_view codepage) {
  while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
  bool ascii = true;
  for (unsigned char c : bytes) ascii = ascii && c < 0x80;
  if (ascii) return std::string(bytes);
  // glibc names the DOS code pages "CP437", "CP850", "CP932", ...
  auto converted = codeset_to_utf8(bytes, "CP" + std::string(codepage.empty() ? "437" : codepage));
  if (converted) return std::move(*converted);
  std::string out;  // a system without glibc's conversion modules
  for (char c : bytes) out += static_cast<unsigned char>(c) < 0x80 ? std::string_view(&c, 1) : "\xEF\xBF\xBD";
  return out;
}

Result<DigitGrouping> TextConversions::digit_grouping() {
  UniqueLocale locale = open_locale(locale_name_);
  if (!locale) return Failure{"FormatNumber", errno, "no locale"};
  DigitGrouping grouping;
  grouping.sizes = nl_langinfo_l(__GROUPING, locale.get());
  std::string separator = nl_langinfo_l(__THOUSANDS_SEP, locale.get());
  std::string codeset = nl_langinfo_l(CODESET, locale.get());
  // A separator such as the no-break space of some locales is in the locale's own codeset.
  bool ascii = true;
  for (unsigned char c : separator) ascii = ascii && c < 0x80;
  if (!ascii && !is_utf8(codeset)) {
    auto converted = codeset_to_utf8(separator, codeset);
    if (!converted) return converted.failure();
    separator = std::move(*converted);
  }
  grouping.separator = std::move(separator);
  return grouping;
}

Result<std::string> TextConversions::format_number(double value) {
  auto grouping = digit_grouping();
  if (!grouping) return grouping.failure();
  return format_whole_number(value, *grouping);
}

Result<std::string> TextConversions::code_page_to_utf8(std::string_view bytes) {
  UniqueLocale locale = open_locale(locale_name_);
  if (locale) {
    std::string codeset = nl_langinfo_l(CODESET, locale.get());
    if (!is_utf8(codeset) && !is_ascii(codeset) && max_char_bytes(locale.get()) == 1)
      return codeset_to_utf8(bytes, codeset);
  }
  // UTF-8 and ASCII locales have no 8-bit code page; take the one Windows pens are written in.
  return windows_1252_to_utf8(bytes);
}

}  // namespace ostrael::linux_
