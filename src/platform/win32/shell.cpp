// ShellExecuteW, looked up by name in shell32.dll (from the system folder only) on first use,
// with the default verb.
#include "shell.h"

#include <windows.h>
#include <shellapi.h>

#include "failure.h"
#include "system_library.h"
#include "utf16.h"

namespace win32 {

std::wstring folder_for_shell(std::string_view directory) {
  std::wstring folder = to_utf16(directory);
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder;
}

ostrael::Status Shell::open_folder(std::string_view directory) {
  using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  // Only a successful lookup is kept; a failed one is tried again on the next click.
  static ShellExecuteFn shell_execute = nullptr;
  if (!shell_execute) {
    HMODULE shell32 = load_system_library(L"shell32.dll");  // stays loaded with the process
    if (!shell32) return last_error_failure("LoadLibraryExW");
    auto found = ::GetProcAddress(shell32, "ShellExecuteW");
    if (!found) return last_error_failure("GetProcAddress");
    shell_execute = reinterpret_cast<ShellExecuteFn>(reinterpret_cast<void*>(found));
  }
  std::wstring folder = folder_for_shell(directory);
  // The shell's answer (no association, folder gone) is not the program's failure.
  (void)shell_execute(nullptr, nullptr, folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return {};
}

}  // namespace win32
