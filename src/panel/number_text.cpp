// Whole-number texts for the drive report.
#include "panel/number_text.h"

namespace ostrael {

std::string decimal_text(std::int32_t value) { return std::to_string(value); }

std::string_view boolean_text(bool value) { return value ? "True" : "False"; }

}  // namespace ostrael
