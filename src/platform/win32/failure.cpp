// Failure values with the system's own message text.
#include "failure.h"

#include "utf16.h"

namespace win32 {

namespace {

std::string system_message(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n ? to_utf8({buffer, n}) : std::string();
  ::LocalFree(buffer);
  return text;
}

}  // namespace

ostrael::Failure error_failure(std::string_view operation, DWORD error) {
  return {std::string(operation), static_cast<std::int64_t>(error), system_message(error)};
}

ostrael::Failure last_error_failure(std::string_view operation) { return error_failure(operation, ::GetLastError()); }

ostrael::Failure hresult_failure(std::string_view operation, HRESULT hr) {
  return {std::string(operation), static_cast<std::int64_t>(hr), system_message(static_cast<DWORD>(hr))};
}

}  // namespace win32
