// Whole-number formatting and the report's other conversions, where 32-bit builds could wrap.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>

#include "panel/number_text.h"

namespace ostrael {
namespace {

std::string whole(double value, const DigitGrouping& grouping) {
  auto text = format_whole_number(value, grouping);
  return text ? *text : "<" + text.failure().operation + ">";
}

TEST(NumberText, GroupingFollowsTheLocaleData) {
  const DigitGrouping us{"\3", ","}, de{"\3", "."}, c{"", ""}, india{"\3\2", ","}, once{std::string("\3") + char(CHAR_MAX), " "};
  EXPECT_EQ(whole(3131968, us), "3,131,968");
  EXPECT_EQ(whole(3131968, de), "3.131.968");
  EXPECT_EQ(whole(3131968, c), "3131968");
  EXPECT_EQ(whole(123456789, india), "12,34,56,789");
  EXPECT_EQ(whole(123456789, once), "123456 789");
  EXPECT_EQ(whole(999, us), "999");
  EXPECT_EQ(whole(1000, us), "1,000");
  EXPECT_EQ(whole(1000, DigitGrouping{"\3", "\xE2\x80\xAF"}), "1\xE2\x80\xAF" "000");
}

TEST(NumberText, HalvesRoundAwayFromZero) {
  const DigitGrouping us{"\3", ","};
  EXPECT_EQ(whole(0.5, us), "1");
  EXPECT_EQ(whole(1.5, us), "2");
  EXPECT_EQ(whole(2.5, us), "3");
  EXPECT_EQ(whole(0.49999, us), "0");
  EXPECT_EQ(whole(-2.5, us), "-3");
  EXPECT_EQ(whole(-0.4, us), "0");
  EXPECT_EQ(whole(1e20, us), "100,000,000,000,000,000,000");
}

TEST(NumberText, EveryDigitOfLargeValuesIsExact) {
  EXPECT_EQ(whole(std::ldexp(1.0, 70), {}), "1180591620717411303424");
  std::string max = whole(DBL_MAX, {});
  EXPECT_EQ(max.substr(0, 20) + "..." + max.substr(299) + " " + std::to_string(max.size()), "17976931348623157081...4124858368 309");
}

TEST(NumberText, NonFiniteValuesFail) {
  EXPECT_FALSE(format_whole_number(std::nan(""), {}));
  EXPECT_FALSE(format_whole_number(HUGE_VAL, {}));
}

TEST(NumberText, DecimalAndBooleanTexts) {
  EXPECT_EQ(decimal_text(static_cast<std::int32_t>(0xFFFFFFFFu)), "-1");
  EXPECT_EQ(decimal_text(INT32_MIN), "-2147483648");
  EXPECT_EQ(decimal_text(1), "1");
  EXPECT_EQ(boolean_text(true), "True");
  EXPECT_EQ(boolean_text(false), "False");
}

}  // namespace
}  // namespace ostrael
