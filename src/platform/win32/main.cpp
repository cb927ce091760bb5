// Process entry: error mode, the window and the message loop.
#include <windows.h>
#include <commctrl.h>

#include "app/ostraelen.h"
#include "application.h"
#include "drive_provider.h"
#include "failure.h"
#include "file_input.h"
#include "main_window.h"
#include "pictures.h"
#include "shell.h"
#include "text_conversions.h"

namespace {

// A program started from a removable drive must never load a DLL lying next to it: from here on
// only the system folder is searched. Looked up by name, since systems without the update that
// brought it must still start.
void load_dlls_from_system32_only() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  auto found = kernel32 ? ::GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
  if (found)
    reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(found))(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  load_dlls_from_system32_only();
  // Before anything touches a drive: a drive with no medium must not raise a system dialog.
  ::SetErrorMode(SEM_FAILCRITICALERRORS);

  win32::Application application;

  INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&common);

  win32::Pictures pictures;
  win32::MainWindow window(instance, pictures);
  if (auto status = window.create(); !status) {
    application.report_unhandled(describe(status.failure()));
    return 1;
  }
  // Made for the dpi the window got, before it first paints.
  if (auto status = pictures.load(instance, window.dpi()); !status) application.report_unhandled(describe(status.failure()));
  win32::FileInput files;
  win32::TextConversions text;
  win32::DriveProvider drives;
  win32::Shell shell;
  ostrael::Platform platform{application, window, files, text, drives, shell};
  ostrael::ostraelen form(platform);
  window.attach(form);

  form.dispatch(ostrael::EventSource::Form, ostrael::Event::Load);
  window.show();
  if (auto status = window.add_tooltips(); !status) application.report_unhandled(describe(status.failure()));

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The dialog manager gives the Tab key its meaning between the message view and the list.
    if (::IsDialogMessageW(window.hwnd(), &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

