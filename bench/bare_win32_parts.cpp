// The Win32 baseline with one part of Ostrael.exe added, to weigh that part's start-up cost
// against the bare window: BARE_PART_CC6 adds the Common Controls 6 manifest and
// InitCommonControlsEx; BARE_PART_CONTROLS adds to that the form's eleven controls, of the classes,
// styles and places the program gives them (no fonts, pictures, tooltips or text).
#include <windows.h>
#include <commctrl.h>

#include "ui/layout.h"

namespace ui = ostrael::ui;

static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

#ifdef BARE_PART_CONTROLS
static void add_controls(HINSTANCE instance, HWND window) {
  WNDCLASSW picture{};
  picture.lpfnWndProc = DefWindowProcW;
  picture.hInstance = instance;
  picture.lpszClassName = L"BarePicture";
  RegisterClassW(&picture);
  HWND frame = nullptr;
  for (std::size_t i = 0; i < ui::kControls.size(); ++i) {
    const ui::Control& c = ui::kControls[i];
    const wchar_t* window_class = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, ex_style = 0;
    switch (c.type) {
      case ui::ControlType::Frame:
        window_class = L"BUTTON";
        style |= BS_GROUPBOX | WS_CLIPCHILDREN;
        ex_style = WS_EX_CONTROLPARENT;
        break;
      case ui::ControlType::TextBox:
        window_class = L"EDIT";
        style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL;
        ex_style = WS_EX_CLIENTEDGE;
        break;
      case ui::ControlType::ListBox:
        window_class = L"LISTBOX";
        style |= LBS_NOTIFY | WS_VSCROLL;
        ex_style = WS_EX_CLIENTEDGE;
        break;
      case ui::ControlType::Image:
        window_class = L"BarePicture";
        break;
      case ui::ControlType::Label:
        style |= SS_NOPREFIX | SS_CENTER;
        break;
    }
    ui::Rect r = ui::client_pixels(c);
    HWND parent = window;
    if (c.container) {
      parent = frame;
      ui::Rect p = ui::client_pixels(ui::kControls[0]);
      r.left -= p.left;
      r.top -= p.top;
    }
    HWND child = CreateWindowExW(ex_style, window_class, L"", style, r.left, r.top, r.width, r.height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)), instance, nullptr);
    if (c.type == ui::ControlType::Frame) frame = child;
  }
}
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  (void)previous, (void)command_line;
  INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&common);

  WNDCLASSW window_class{};
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = L"BareWin32";
  if (!RegisterClassW(&window_class)) return 1;

  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame = {0, 0, ui::twips_to_pixels(ui::kForm.client_width_twips),
                ui::twips_to_pixels(ui::kForm.client_height_twips)};
  if (!AdjustWindowRect(&frame, style, FALSE)) return 1;
  HWND window = CreateWindowW(L"BareWin32", L"bare Win32", style, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
#ifdef BARE_PART_CONTROLS
  add_controls(instance, window);
#endif
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
