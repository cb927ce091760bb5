// FormatNumber built from a locale's digit grouping, for backends without an OS number format.
// Kept apart from number_text.cpp so that a program which does not use it (the Windows one)
// does not link it.
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>

#include "panel/number_text.h"

namespace ostrael {

namespace {

// The exact decimal digits of a whole, finite, non-negative double: its 53-bit significand, then
// doubled once per binary exponent step. Not std::to_chars: its tables for shortest forms are a
// quarter of a Linux program that links libstdc++ statically.
std::string whole_digits(double whole) {
  int exponent = 0;
  auto significand = static_cast<std::uint64_t>(std::ldexp(std::frexp(whole, &exponent), 53));
  exponent -= 53;  // whole == significand * 2^exponent
  if (exponent <= 0) return std::to_string(significand >> -exponent);  // exponent >= -53
  std::string digits = std::to_string(significand);
  for (int step = 0; step < exponent; ++step) {
    int carry = 0;
    for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit) {
      int doubled = (*digit - '0') * 2 + carry;
      *digit = static_cast<char>('0' + doubled % 10);
      carry = doubled / 10;
    }
    if (carry) digits.insert(digits.begin(), '1');
  }
  return digits;
}

}  // namespace

Result<std::string> format_whole_number(double value, const DigitGrouping& grouping) {
  if (!std::isfinite(value)) return Failure{"FormatNumber", 0, "not a finite number"};
  double rounded = std::round(std::fabs(value));  // std::round takes halves away from zero
  std::string digits = whole_digits(rounded);

  std::string text;
  std::size_t group_index = 0;
  int group = grouping.sizes.empty() ? 0 : static_cast<unsigned char>(grouping.sizes[0]);
  int in_group = 0;
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (group > 0 && group != CHAR_MAX && in_group == group) {
      text.insert(0, grouping.separator);
      in_group = 0;
      if (group_index + 1 < grouping.sizes.size()) group = static_cast<unsigned char>(grouping.sizes[++group_index]);
    }
    text.insert(text.begin(), digits[i]);
    ++in_group;
  }
  if (value < 0 && rounded != 0) text.insert(0, "-");
  return text;
}

}  // namespace ostrael
