// Loading a DLL the program needs only on first use, from the system folder only, and finding the
// functions newer systems have.
#pragma once

#include <windows.h>

namespace win32 {

// A DLL from the system folder, never one lying next to the program on the drive. Null with the
// last error set when it cannot be loaded.
HMODULE load_system_library(const wchar_t* name);

// `out` set to the function `name` of `module`, typed as declared in the SDK's header; false
// when the module is null or lacks it.
template <class Fn>
bool look_up(HMODULE module, const char* name, Fn& out) {
  out = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
  return out != nullptr;
}

// A function of user32, which every window program has loaded, looked up by name for the systems
// that are older than it; null there.
template <class Fn>
Fn user32_function(const char* name) {
  Fn found = nullptr;
  look_up(::GetModuleHandleW(L"user32.dll"), name, found);
  return found;
}

}  // namespace win32
