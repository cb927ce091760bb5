// What the Win32 tests share: the form's controls found and clicked, this thread's messages run,
// and the process's GDI and USER objects counted, for tests that repeat something and must not leak.
#pragma once

#include <windows.h>

#include "main_window.h"
#include "ui/layout.h"

namespace win32_tests {

// The control at `index` in the layout table of the form `form`, of this or another process.
inline HWND control_window(HWND form, std::size_t index) {
  const ostrael::ui::Control& c = ostrael::ui::kControls[index];
  return ::GetDlgItem(c.container ? control_window(form, ostrael::ui::control_index(*c.container)) : form, win32::control_id(index));
}
inline HWND control_window(HWND form, ostrael::ui::ControlId id) { return control_window(form, ostrael::ui::control_index(id)); }

// A click in the middle of `picture`, posted to it as the mouse's press and release.
inline void post_click(HWND picture) {
  RECT r{};
  ::GetClientRect(picture, &r);
  const LPARAM centre = MAKELPARAM(r.right / 2, r.bottom / 2);
  ::PostMessageW(picture, WM_LBUTTONDOWN, MK_LBUTTON, centre);
  ::PostMessageW(picture, WM_LBUTTONUP, 0, centre);
}

// Runs the messages of this thread's windows.
inline void pump() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

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
