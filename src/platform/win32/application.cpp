// The application object on Win32.
#include "application.h"

#include <windows.h>

#include "failure.h"
#include "utf16.h"

namespace win32 {

std::wstring directory_of(std::wstring_view module_path) {
  std::size_t slash = module_path.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos) return {};
  std::wstring directory(module_path.substr(0, slash));
  // "P:" alone would mean the drive's current directory, not its root.
  if (directory.size() == 2 && directory[1] == L':') directory += L'\\';
  return directory;
}

ostrael::Result<std::string> Application::application_directory() {
  // The path may pass MAX_PATH; GetModuleFileNameW truncates silently, so grow until it fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return last_error_failure("GetModuleFileNameW");
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 32768) return error_failure("GetModuleFileNameW", ERROR_INSUFFICIENT_BUFFER);
    path.resize(path.size() * 2);
  }
  return to_utf8(directory_of(path));
}

void Application::end_program() { ::ExitProcess(0); }

void Application::report_unhandled(std::string_view line) {
  std::wstring text = to_utf16(line);
  text += L'\n';
  ::OutputDebugStringW(text.c_str());
}

}  // namespace win32
