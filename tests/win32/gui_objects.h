// The process's GDI and USER objects counted, for tests that repeat something and must not leak.
#pragma once

#include <windows.h>

namespace win32_tests {

struct Counts {
  DWORD gdi = 0, user = 0;
  bool operator==(const Counts&) const = default;
};

// Wine's GetGuiResources is a stub that answers 0 with ERROR_CALL_NOT_IMPLEMENTED. There the
// objects are counted by asking about every 16-bit handle value, which Wine resolves to the
// live object at that slot whatever its generation: GDI objects through GetObjectType, USER
// objects as this process's windows and its icons and cursors.
inline bool gui_resources_work() {
  ::SetLastError(0);
  DWORD gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  return gdi != 0 || ::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
}

inline Counts count_objects() {
  Counts counts;
  if (gui_resources_work()) {
    counts.gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    counts.user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    return counts;
  }
  DWORD self = ::GetCurrentProcessId();
  for (UINT_PTR value = 1; value < 0x10000; ++value) {
    if (::GetObjectType(reinterpret_cast<HGDIOBJ>(value))) ++counts.gdi;
    if (value % 2) continue;  // USER handles are even
    HWND window = reinterpret_cast<HWND>(value);
    DWORD owner = 0;
    if (::IsWindow(window) && ::GetWindowThreadProcessId(window, &owner) && owner == self) ++counts.user;
    ICONINFO icon;
    if (::GetIconInfo(reinterpret_cast<HICON>(value), &icon)) {
      ++counts.user;
      if (icon.hbmMask) ::DeleteObject(icon.hbmMask);
      if (icon.hbmColor) ::DeleteObject(icon.hbmColor);
    }
  }
  return counts;
}

}  // namespace win32_tests
