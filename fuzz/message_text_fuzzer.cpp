// Any bytes as message.txt: the decoder must hand the view well-formed UTF-8 with no NUL, keep
// BOM-less UTF-8 as it is, and let a cut drop no more than the tail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "panel/message_text.h"

namespace {

using ostrael::Result;

// Linux has no 8-bit code page of its own; the GTK program falls back to Windows-1252 too.
class Windows1252 : public ostrael::TextConversions {
 public:
  Result<std::string> format_number(double) override { return std::string(); }
  Result<std::string> code_page_to_utf8(std::string_view bytes) override {
    return ostrael::windows_1252_to_utf8(bytes);
  }
};

// Strict UTF-8 (no overlongs, no surrogates, nothing past U+10FFFF) and no NUL.
bool is_view_text(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b == 0) return false;
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
    if (length == 0 || b > 0xF4 || b == 0xC0 || b == 0xC1 || i + length > s.size()) return false;
    char32_t c = b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = (c << 6) | (t & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

bool starts_with_bom(std::string_view s) {
  return s.starts_with("\xEF\xBB\xBF") || s.starts_with("\xFF\xFE") || s.starts_with("\xFE\xFF");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Windows1252 conversions;

  Result<std::string> whole = ostrael::decode_message(bytes, false, conversions);
  Result<std::string> cut = ostrael::decode_message(bytes, true, conversions);
  if (!whole || !cut) std::abort();  // the stub never fails, so neither may the decoder
  if (!is_view_text(*whole) || !is_view_text(*cut)) std::abort();

  if (!starts_with_bom(bytes) && bytes.find('\0') == std::string_view::npos && is_view_text(bytes) &&
      *whole != bytes)
    std::abort();
  // With a mark the encoding is settled, so a cut may only drop the last character.
  if (starts_with_bom(bytes) && !std::string_view(*whole).starts_with(*cut)) std::abort();
  return 0;
}
