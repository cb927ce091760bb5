// The text conversions of the report that need no platform, and the digit grouping that
// backends use to build FormatNumber from their locale's data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace ostrael {

// Plain decimal: a minus sign for negatives, no grouping, no leading zeros. 0xFFFFFFFF reads -1.
std::string decimal_text(std::int32_t value);

// "True" or "False".
std::string_view boolean_text(bool value);

struct DigitGrouping {
  // Group sizes from the right, as localeconv() gives them: the last size repeats, and a size
  // of 0 or CHAR_MAX ends the grouping. Empty: no grouping.
  std::string sizes;
  std::string separator;
};

// `value` rounded half away from zero to a whole number, with grouped digits and a leading
// "-" when negative. Fails for NaN and infinities.
Result<std::string> format_whole_number(double value, const DigitGrouping& grouping);

}  // namespace ostrael
