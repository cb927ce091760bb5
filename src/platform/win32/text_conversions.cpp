// The number format comes from the user's locale; only the count of decimals is ours (none).
#include "text_conversions.h"

#include <windows.h>

#include <cmath>

#include "failure.h"
#include "utf16.h"

namespace win32 {

namespace {

ostrael::Result<std::wstring> locale_text(LCTYPE type) {
  wchar_t buffer[16];
  if (!::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 16)) return last_error_failure("GetLocaleInfoEx");
  return std::wstring(buffer);
}

ostrael::Result<UINT> locale_number(LCTYPE type) {
  DWORD value = 0;
  if (!::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type | LOCALE_RETURN_NUMBER, reinterpret_cast<wchar_t*>(&value),
                         sizeof value / sizeof(wchar_t)))
    return last_error_failure("GetLocaleInfoEx");
  return static_cast<UINT>(value);
}

// "3;0" is groups of three, "3;2;0" the Indian 3 then 2s, "3" a single group of three;
// NUMBERFMTW wants 3, 32 and 30 for them.
UINT grouping_number(std::wstring_view sizes) {
  UINT grouping = 0;
  bool ends_in_zero = false;
  for (wchar_t c : sizes) {
    if (c >= L'0' && c <= L'9') {
      grouping = grouping * 10 + static_cast<UINT>(c - L'0');
      ends_in_zero = c == L'0';
    }
  }
  if (ends_in_zero) return grouping / 10;
  return grouping * 10;
}

}  // namespace

ostrael::Result<std::string> TextConversions::format_number(double value) {
  // Rounded here, half away from zero as GetNumberFormatEx would, so that the OS gets plain
  // digits: it takes no exponent, and printing doubles in full would double the program's size.
  double rounded = std::round(value);
  if (!std::isfinite(rounded) || std::fabs(rounded) >= 1e18)
    return ostrael::Failure{"GetNumberFormatEx", ERROR_INVALID_PARAMETER, "number out of range"};
  long long whole = static_cast<long long>(rounded);
  std::wstring input;
  for (unsigned long long rest = whole < 0 ? 0ull - static_cast<unsigned long long>(whole) : static_cast<unsigned long long>(whole);
       input.empty() || rest; rest /= 10)
    input.insert(input.begin(), static_cast<wchar_t>(L'0' + rest % 10));
  if (whole < 0) input.insert(input.begin(), L'-');

  ASSIGN_OR_FORWARD(UINT leading_zero, locale_number(LOCALE_ILZERO));
  ASSIGN_OR_FORWARD(UINT negative_order, locale_number(LOCALE_INEGNUMBER));
  ASSIGN_OR_FORWARD(std::wstring grouping, locale_text(LOCALE_SGROUPING));
  ASSIGN_OR_FORWARD(std::wstring decimal, locale_text(LOCALE_SDECIMAL));
  ASSIGN_OR_FORWARD(std::wstring thousand, locale_text(LOCALE_STHOUSAND));
  NUMBERFMTW format{0, leading_zero, grouping_number(grouping), decimal.data(), thousand.data(), negative_order};

  int n = ::GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, input.c_str(), &format, nullptr, 0);
  if (n <= 0) return last_error_failure("GetNumberFormatEx");
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  n = ::GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, input.c_str(), &format, out.data(), n);
  if (n <= 0) return last_error_failure("GetNumberFormatEx");
  out.resize(static_cast<std::size_t>(n - 1));
  return to_utf8(out);
}

ostrael::Result<std::string> TextConversions::code_page_to_utf8(std::string_view bytes) {
  if (bytes.empty()) return std::string();
  int size = static_cast<int>(bytes.size());
  int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  if (n <= 0) return last_error_failure("MultiByteToWideChar");
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  if (::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), n) <= 0)
    return last_error_failure("MultiByteToWideChar");
  return to_utf8(wide);
}

}  // namespace win32
