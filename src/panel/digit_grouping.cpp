// FormatNumber built from a locale's digit grouping, for backends without an OS number format.
// Kept apart from number_text.cpp so that a program which does not use it (the Windows one)
// does not link the floating-point printing it needs.
#include <charconv>
#include <climits>
#include <cmath>

#include "panel/number_text.h"

namespace ostrael {

Result<std::string> format_whole_number(double value, const DigitGrouping& grouping) {
  if (!std::isfinite(value)) return Failure{"FormatNumber", 0, "not a finite number"};
  double rounded = std::round(std::fabs(value));  // std::round takes halves away from zero
  char buffer[400];                                // DBL_MAX has 309 digits
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed);
  if (error != std::errc()) return Failure{"FormatNumber", static_cast<std::int64_t>(error), "number too long"};
  std::string digits(buffer, end);

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
