// Decoding of the owner's message: byte-order marks, UTF-8, UTF-16 and the 8-bit fallback.
#include "panel/message_text.h"

#include <array>

namespace ostrael {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void append_utf8(std::string& out, char32_t c) {
  if (c == 0) c = kReplacement;  // a NUL would end the text in the view's hands
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

enum class Step { Char, Invalid, Incomplete };

// One UTF-8 sequence at `i`. Invalid and incomplete sequences advance by their maximal valid
// prefix, so every bad stretch becomes one replacement character.
Step next_utf8(std::string_view s, std::size_t& i, char32_t& out) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    out = b0;
    ++i;
    return Step::Char;
  }
  int length;
  char32_t c;
  unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2, c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3, c = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;  // overlong
    if (b0 == 0xED) hi = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4, c = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;  // overlong
    if (b0 == 0xF4) hi = 0x8F;  // beyond U+10FFFF
  } else {
    ++i;
    return Step::Invalid;
  }
  ++i;
  for (int k = 1; k < length; ++k, ++i) {
    if (i >= s.size()) return Step::Incomplete;
    unsigned char b = byte(i);
    if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF)) return Step::Invalid;
    c = (c << 6) | (b & 0x3F);
  }
  out = c;
  return Step::Char;
}

// How far `s` is well-formed UTF-8 with no NUL: the view takes that part byte for byte, so it
// is copied in one go. Most messages are all of it.
std::size_t view_ready_prefix(std::string_view s) {
  std::size_t i = 0;
  char32_t c;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b - 1u < 0x7Fu) {  // 0x01..0x7F
      ++i;
      continue;
    }
    std::size_t next = i;
    if (b == 0 || next_utf8(s, next, c) != Step::Char) break;
    i = next;
  }
  return i;
}

bool is_valid_utf8(std::string_view s, bool cut) {
  char32_t c;
  for (std::size_t i = view_ready_prefix(s); i < s.size();) {
    switch (next_utf8(s, i, c)) {
      case Step::Char: break;
      case Step::Invalid: return false;
      case Step::Incomplete: return cut;
    }
  }
  return true;
}

std::string utf8_for_view(std::string_view s, bool cut) {
  std::size_t ready = view_ready_prefix(s);
  if (ready == s.size()) return std::string(s);
  std::string out;
  out.reserve(s.size() + 2);
  out.append(s.substr(0, ready));
  char32_t c = 0;
  for (std::size_t i = ready; i < s.size();) {
    switch (next_utf8(s, i, c)) {
      case Step::Char: append_utf8(out, c); break;
      case Step::Invalid: append_utf8(out, kReplacement); break;
      case Step::Incomplete:
        if (!cut) append_utf8(out, kReplacement);
        break;
    }
  }
  return out;
}

std::string utf16_for_view(std::string_view s, bool big_endian, bool cut) {
  std::string out;
  out.reserve(s.size());
  auto unit = [&](std::size_t k) -> char32_t {
    auto a = static_cast<unsigned char>(s[k]), b = static_cast<unsigned char>(s[k + 1]);
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  std::size_t n = s.size() & ~std::size_t{1};  // an odd last byte is dropped
  for (std::size_t i = 0; i < n; i += 2) {
    char32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 2 >= n) {
        if (!cut) append_utf8(out, kReplacement);
        break;
      }
      char32_t v = unit(i + 2);
      if (v >= 0xDC00 && v <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
        i += 2;
        continue;
      }
      u = kReplacement;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      u = kReplacement;
    }
    append_utf8(out, u);
  }
  return out;
}

bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace

Result<std::string> decode_message(std::string_view bytes, bool cut, TextConversions& text) {
  if (starts_with(bytes, "\xEF\xBB\xBF")) return utf8_for_view(bytes.substr(3), cut);
  if (starts_with(bytes, "\xFF\xFE")) return utf16_for_view(bytes.substr(2), false, cut);
  if (starts_with(bytes, "\xFE\xFF")) return utf16_for_view(bytes.substr(2), true, cut);
  if (is_valid_utf8(bytes, cut)) return utf8_for_view(bytes, cut);
  Result<std::string> converted = text.code_page_to_utf8(bytes);
  if (!converted) return converted;
  return utf8_for_view(*converted, false);
}

std::string windows_1252_to_utf8(std::string_view bytes) {
  // 0x80..0x9F; the five unassigned bytes keep their C1 code points, as Windows maps them.
  static constexpr std::array<char16_t, 32> kHigh{
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    append_utf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
  }
  return out;
}

}  // namespace ostrael
