// Loading a DLL the program needs only on first use, from the system folder only.
#pragma once

#include <windows.h>

namespace win32 {

// A DLL from the system folder, never one lying next to the program on the drive. Null with the
// last error set when it cannot be loaded.
HMODULE load_system_library(const wchar_t* name);

}  // namespace win32
