// Clicks the pictures of a running Ostrael.exe in the same Wine session, then Close, and waits
// for the window to go: a user's session for the never-writes check.
//
//   post_clicks.exe   (exit status 0 when the window showed, took the clicks and closed)
#include <windows.h>

#include <cstdio>

#include "main_window.h"

namespace {

using ostrael::ui::ControlId;

HWND picture(HWND form, ControlId id) {
  for (std::size_t i = 0; i < ostrael::ui::kControls.size(); ++i)
    if (ostrael::ui::kControls[i].id == id) return ::GetDlgItem(form, win32::control_id(i));
  return nullptr;
}

void click(HWND form, ControlId id) {
  HWND target = picture(form, id);
  RECT r{};
  ::GetClientRect(target, &r);
  LPARAM centre = MAKELPARAM(r.right / 2, r.bottom / 2);
  ::PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, centre);
  ::PostMessageW(target, WM_LBUTTONUP, 0, centre);
  ::Sleep(400);
}

}  // namespace

int main() {
  HWND form = nullptr;
  for (int i = 0; i < 300 && !(form && ::IsWindowVisible(form)); ++i, ::Sleep(100))
    form = ::FindWindowW(win32::kWindowClass, nullptr);
  if (!form) {
    std::fputs("post_clicks: the window did not show\n", stderr);
    return 1;
  }
  ::Sleep(500);
  for (ControlId id : {ControlId::Image3, ControlId::Image2, ControlId::Image3, ControlId::Image4, ControlId::Image2,
                       ControlId::Image3})
    click(form, id);
  click(form, ControlId::Image1);
  for (int i = 0; i < 100 && ::IsWindow(form); ++i) ::Sleep(100);
  if (::IsWindow(form)) {
    std::fputs("post_clicks: Close did not end the program\n", stderr);
    return 1;
  }
  return 0;
}
