// Clicks the pictures of a running Ostrael.exe in the same Wine session, then Close, and waits
// for the window to go: a user's session for the never-writes check.
//
//   post_clicks.exe   (exit status 0 when the window showed, took the clicks and closed)
#include <windows.h>

#include <cstdio>

#include "gui_objects.h"
#include "main_window.h"

namespace {

using ostrael::ui::ControlId;

void click(HWND form, ControlId id) {
  win32_tests::post_click(win32_tests::control_window(form, id));
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
