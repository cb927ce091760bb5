// The main window: every control, font, tooltip and the hand cursor come from ui::kControls.
#include "main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "accessible.h"
#include "failure.h"
#include "resource.h"
#include "system_library.h"
#include "utf16.h"

namespace win32 {

namespace ui = ostrael::ui;

namespace {

// Wine's word-wrapping EDIT lays out all of its text on WM_SETTEXT, well over a second for a
// message of a megabyte. The window shows with the first piece, which fills the view; the rest
// follows a piece at a time from a timer, whose messages wait behind painting and input.
constexpr std::size_t kFirstPiece = 4096;
constexpr std::size_t kLaterPiece = 16384;
constexpr UINT_PTR kAppendTimer = 1;

constexpr wchar_t kPictureClass[] = L"ostraelen.Image";

// Per-monitor dpi exists from Windows 10 on; older systems have one dpi for everything.
int window_dpi(HWND hwnd) {
  static auto get_dpi = user32_function<decltype(&::GetDpiForWindow)>("GetDpiForWindow");
  if (get_dpi)
    if (UINT dpi = get_dpi(hwnd)) return static_cast<int>(dpi);
  HDC screen = ::GetDC(nullptr);
  int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

// Fixed for the life of the process, and asked for by every default font made.
int system_dpi() {
  static const int dpi = window_dpi(nullptr);
  return dpi;
}

bool same_font(const ui::Font& a, const ui::Font& b) { return a.face == b.face && a.points == b.points && a.weight == b.weight; }

// One of the system's fonts, given for the system dpi, at `dpi`.
ostrael::Result<LOGFONTW> system_font(LOGFONTW NONCLIENTMETRICSW::*which, int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    return last_error_failure("SystemParametersInfoW");
  LOGFONTW logfont = metrics.*which;
  logfont.lfHeight = ::MulDiv(logfont.lfHeight, dpi, system_dpi());
  return logfont;
}

ostrael::Result<HFONT> create_font(const ui::Font& font, int dpi) {
  LOGFONTW logfont{};
  if (font.face.empty()) {
    // The toolkit's default control font is the system's message font.
    ASSIGN_OR_FORWARD(logfont, system_font(&NONCLIENTMETRICSW::lfMessageFont, dpi));
  } else {
    logfont.lfHeight = -static_cast<LONG>(std::lround(font.points * dpi / 72.0));
    logfont.lfWeight = font.weight;
    logfont.lfCharSet = ANSI_CHARSET;
    logfont.lfQuality = DEFAULT_QUALITY;
    std::wstring face = to_utf16(font.face);
    face.copy(logfont.lfFaceName, LF_FACESIZE - 1);
  }
  HFONT handle = ::CreateFontIndirectW(&logfont);
  if (!handle) return last_error_failure("CreateFontIndirectW");
  return handle;
}

std::size_t index_of(HWND control) { return static_cast<std::size_t>(::GetDlgCtrlID(control) - control_id(0)); }

// The multi-line EDIT passes Tab on to its parent as WM_NEXTDLGCTL, and that parent is the
// group box, which would drop it; the form moves the focus.
LRESULT CALLBACK frame_subclass(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  if (message == WM_NEXTDLGCTL) return ::SendMessageW(::GetParent(hwnd), message, wparam, lparam);
  // The read-only EDIT asks the group box for its colours, which answers with the dialog face;
  // the message view keeps the window colours of an ordinary text box.
  if (message == WM_CTLCOLORSTATIC) {
    HDC dc = reinterpret_cast<HDC>(wparam);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
  }
  // A group box draws its border and nothing inside, and the form, which clips its children, does
  // not paint there either; so the box fills its inside with the form's colour itself.
  if (message == WM_ERASEBKGND) {
    RECT inside;
    ::GetClientRect(hwnd, &inside);
    ::FillRect(reinterpret_cast<HDC>(wparam), &inside,
               reinterpret_cast<HBRUSH>(::GetClassLongPtrW(::GetParent(hwnd), GCLP_HBRBACKGROUND)));
    return 1;
  }
  return ::DefSubclassProc(hwnd, message, wparam, lparam);
}

// Sibling order is the order a screen reader meets the windows in, and the pictures never
// overlap: they are made from left to right, in the slots the table gives them, so nothing else
// changes its place among its siblings.
std::array<std::size_t, ui::kControls.size()> creation_order() {
  std::array<std::size_t, ui::kControls.size()> order{}, pictures{}, left_to_right{};
  std::size_t n = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = i;
    if (ui::kControls[i].type == ui::ControlType::Image) pictures[n++] = i;
  }
  left_to_right = pictures;
  std::sort(left_to_right.begin(), left_to_right.begin() + static_cast<std::ptrdiff_t>(n),
            [](std::size_t a, std::size_t b) { return ui::kControls[a].twips.left < ui::kControls[b].twips.left; });
  for (std::size_t k = 0; k < n; ++k) order[pictures[k]] = left_to_right[k];
  return order;
}

// The mouse and a screen reader click a picture the same way: through its parent's WM_COMMAND.
void raise_click(HWND picture) {
  ::SendMessageW(::GetParent(picture), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(picture), STN_CLICKED),
                 reinterpret_cast<LPARAM>(picture));
}

}  // namespace

std::wstring with_crlf_breaks(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r') {
      out += L"\r\n";
      if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else if (c == L'\n') {
      out += L"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::size_t text_piece_end(std::wstring_view text, std::size_t from, std::size_t most) {
  if (most < 2) most = 2;  // room for a whole CRLF, so that every piece makes progress
  if (from >= text.size() || text.size() - from <= most) return text.size();
  std::size_t end = from + most;
  for (std::size_t i = end; i > from + most / 2; --i)
    if (text[i - 1] == L'\n') return i;
  bool high_surrogate = text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF;
  bool low_surrogate = text[end] >= 0xDC00 && text[end] <= 0xDFFF;
  if ((text[end - 1] == L'\r' && text[end] == L'\n') || (high_surrogate && low_surrogate)) --end;
  return end;
}

RECT window_rect_around(POINT at, SIZE client, DWORD style, DWORD ex_style, int dpi) {
  static auto adjust = user32_function<decltype(&::AdjustWindowRectExForDpi)>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, client.cx, client.cy};
  if (!adjust || !adjust(&rect, style, FALSE, ex_style, static_cast<UINT>(dpi))) ::AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  ::OffsetRect(&rect, at.x - rect.left, at.y - rect.top);
  return rect;
}

HWND MainWindow::control(ui::ControlId id) const { return controls_[ui::control_index(id)]; }

ostrael::Status MainWindow::register_classes() {
  HICON big = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_OSTRAEL), IMAGE_ICON,
                                              ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED));
  HICON small = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_OSTRAEL), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = window_proc;
  form.hInstance = instance_;
  form.hIcon = big;
  form.hIconSm = small;
  form.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kWindowClass;
  if (!::RegisterClassExW(&form)) return last_error_failure("RegisterClassExW");

  // The pictures set the hand made for the window's dpi themselves; the arrow is for when it failed.
  WNDCLASSEXW picture{};
  picture.cbSize = sizeof picture;
  picture.lpfnWndProc = picture_proc;
  picture.hInstance = instance_;
  picture.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  picture.lpszClassName = kPictureClass;
  if (!::RegisterClassExW(&picture)) return last_error_failure("RegisterClassExW");
  return {};
}

ostrael::Status MainWindow::create() {
  FORWARD_IF_FAILED(register_classes());
  std::wstring caption = to_utf16(ui::kForm.caption);
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (ui::kForm.min_button) style |= WS_MINIMIZEBOX;
  if (ui::kForm.max_button) style |= WS_MAXIMIZEBOX;
  if (ui::kForm.resizable) style |= WS_THICKFRAME;
  // The window is made at its size and place and every control where it belongs, with its font:
  // under Wine each later move of a window costs a round of requests to the server. A window on
  // the primary monitor has the system dpi, unless that monitor's scale changed since sign-in;
  // then it is sized again for the dpi it got.
  int dpi = system_dpi();
  ASSIGN_OR_FORWARD(Fonts fonts, make_fonts(dpi));
  use_fonts(std::move(fonts));
  RECT place = centred_on_primary(dpi, style);
  hwnd_ = ::CreateWindowExW(0, kWindowClass, caption.c_str(), style, place.left, place.top, place.right - place.left,
                            place.bottom - place.top, nullptr, nullptr, instance_, this);
  if (!hwnd_) return last_error_failure("CreateWindowExW");
  if (int got = window_dpi(hwnd_); got != dpi) {
    dpi = got;
    ASSIGN_OR_FORWARD(Fonts refitted, make_fonts(dpi));
    use_fonts(std::move(refitted));
    place = centred_on_primary(dpi, style);
    ::SetWindowPos(hwnd_, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  dpi_ = dpi;
  return create_controls(dpi);
}

ostrael::Status MainWindow::create_controls(int dpi) {
  for (std::size_t i : creation_order()) {
    const ui::Control& c = ui::kControls[i];
    const wchar_t* window_class = nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD ex_style = 0;
    switch (c.type) {
      case ui::ControlType::Frame:
        window_class = L"BUTTON";
        style |= BS_GROUPBOX | WS_CLIPCHILDREN;
        ex_style |= WS_EX_CONTROLPARENT;  // lets the Tab key reach the two views inside
        break;
      case ui::ControlType::TextBox:
        window_class = L"EDIT";
        style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL;
        ex_style |= WS_EX_CLIENTEDGE;
        break;
      case ui::ControlType::ListBox:
        window_class = L"LISTBOX";  // no LBS_SORT: lines stay in the order they are added
        style |= LBS_NOTIFY | WS_VSCROLL;
        ex_style |= WS_EX_CLIENTEDGE;
        break;
      case ui::ControlType::Image:
        window_class = kPictureClass;
        break;
      case ui::ControlType::Label:
        window_class = L"STATIC";
        style |= SS_NOPREFIX | (c.align == ui::Align::Centre ? SS_CENTER : SS_LEFT);
        break;
    }
    if (c.tab_stop) style |= WS_TABSTOP;
    HWND parent = c.container ? control(*c.container) : hwnd_;
    // Text1 and List1 show no label, so each gets a hidden one just before it in z-order: the
    // system's own MSAA and UI Automation proxies name the control after it and stay in charge
    // of its text and lines. Tab order and drawing pass over a hidden STATIC.
    if (c.type == ui::ControlType::TextBox || c.type == ui::ControlType::ListBox) {
      std::wstring name = to_utf16(ui::accessible_name(c));
      if (!::CreateWindowExW(0, L"STATIC", name.c_str(), WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0, parent, nullptr, instance_, nullptr))
        return last_error_failure("CreateWindowExW");
    }
    std::wstring text = to_utf16(c.text);
    RECT r = control_rect(i, dpi);
    // A list box fits its height to whole lines of its font only when its size changes, and it is
    // made with the system font: made without height, it fits the lines of its own when sized.
    int height = c.type == ui::ControlType::ListBox ? 0 : r.bottom - r.top;
    HWND child = ::CreateWindowExW(ex_style, window_class, text.c_str(), style, r.left, r.top, r.right - r.left, height,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id(i))), instance_, nullptr);
    if (!child) return last_error_failure("CreateWindowExW");
    controls_[i] = child;
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_of(i)), FALSE);
    if (c.type == ui::ControlType::ListBox)
      ::SetWindowPos(child, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (c.type == ui::ControlType::Frame && !::SetWindowSubclass(child, frame_subclass, 0, 0))
      return last_error_failure("SetWindowSubclass");
    // The EDIT's default limit is 32K characters; 0 lifts it to what memory allows.
    if (c.type == ui::ControlType::TextBox) ::SendMessageW(child, EM_SETLIMITTEXT, 0, 0);
  }
  return {};
}

ostrael::Status MainWindow::add_tooltips() {
  if (tooltip_) return {};
  tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
  if (!tooltip_) return last_error_failure("CreateWindowExW");
  // The tooltip's own font is for the system dpi.
  if (dpi_ != system_dpi()) {
    ASSIGN_OR_FORWARD(LOGFONTW logfont, system_font(&NONCLIENTMETRICSW::lfStatusFont, dpi_));
    tooltip_font_.reset(::CreateFontIndirectW(&logfont));
    if (!tooltip_font_) return last_error_failure("CreateFontIndirectW");
    ::SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(tooltip_font_.get()), FALSE);
  }
  for (std::size_t i = 0; i < ui::kControls.size(); ++i) {
    const ui::Control& c = ui::kControls[i];
    if (c.tooltip.empty()) continue;
    std::wstring text = to_utf16(c.tooltip);  // the tooltip keeps a copy
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(controls_[i]);
    tool.hinst = instance_;
    tool.lpszText = text.data();
    if (!::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)))
      return ostrael::Failure{"TTM_ADDTOOLW", 0, "tooltip not added"};
  }
  return {};
}

ostrael::Result<MainWindow::Fonts> MainWindow::make_fonts(int dpi) {
  Fonts fonts;
  for (const ui::Control& c : ui::kControls) {
    bool made = false;
    for (const MadeFont& f : fonts) made = made || same_font(f.font, c.font);
    if (made) continue;
    ASSIGN_OR_FORWARD(HFONT handle, create_font(c.font, dpi));
    fonts.push_back({c.font, UniqueFont(handle)});
  }
  return fonts;
}

void MainWindow::use_fonts(Fonts fonts) {
  // The controls let go of the old fonts here, before they are freed on return.
  std::swap(fonts_, fonts);
  for (std::size_t i = 0; i < ui::kControls.size(); ++i)
    if (controls_[i]) ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_of(i)), FALSE);
}

HFONT MainWindow::font_of(std::size_t index) const {
  for (const MadeFont& f : fonts_)
    if (same_font(f.font, ui::kControls[index].font)) return f.handle.get();
  return nullptr;
}

RECT MainWindow::control_rect(std::size_t index, int dpi) const {
  const ui::Control& c = ui::kControls[index];
  ui::Rect r = ui::client_pixels(c, dpi);
  if (c.container) {
    ui::Rect p = ui::client_pixels(ui::control(*c.container), dpi);
    r.left -= p.left;
    r.top -= p.top;
  }
  return {r.left, r.top, r.left + r.width, r.top + r.height};
}

RECT MainWindow::outer_rect(int dpi, DWORD style) {
  return window_rect_around({0, 0}, {ui::twips_to_pixels(ui::kForm.client_width_twips, dpi), ui::twips_to_pixels(ui::kForm.client_height_twips, dpi)},
                            style, 0, dpi);
}

RECT MainWindow::centred_on_primary(int dpi, DWORD style) {
  RECT window = outer_rect(dpi, style);
  int width = window.right - window.left, height = window.bottom - window.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  int x = monitor.rcMonitor.left + (monitor.rcMonitor.right - monitor.rcMonitor.left - width) / 2;
  int y = monitor.rcMonitor.top + (monitor.rcMonitor.bottom - monitor.rcMonitor.top - height) / 2;
  return {x, y, x + width, y + height};
}

void MainWindow::change_dpi(int dpi, const RECT& suggested) {
  // A window half at one dpi and half at the other is worse than one left whole at the old one.
  auto fonts = make_fonts(dpi);
  ostrael::Result<LOGFONTW> tip_logfont = system_font(&NONCLIENTMETRICSW::lfStatusFont, dpi);
  UniqueFont tip_font(tip_logfont ? ::CreateFontIndirectW(&*tip_logfont) : nullptr);
  Pictures pictures;
  bool made = fonts && tip_font && pictures.load(instance_, dpi);
  RECT place = suggested;
  if (made) {
    pictures_ = std::move(pictures);
    use_fonts(std::move(*fonts));
    if (tooltip_) ::SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(tip_font.get()), FALSE);
    tooltip_font_ = std::move(tip_font);
    dpi_ = dpi;
    // Nothing is drawn until all is in place; the whole window is repainted below.
    for (std::size_t i = 0; i < ui::kControls.size(); ++i) {
      RECT r = control_rect(i, dpi);
      // As where it was made: sized from no height, the list fits whole lines of its new font.
      if (ui::kControls[i].type == ui::ControlType::ListBox)
        ::SetWindowPos(controls_[i], nullptr, 0, 0, r.right - r.left, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
      ::SetWindowPos(controls_[i], nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
  } else {
    // Windows draws the frame for the new dpi all the same; the layout made for the old one fits
    // only the client area it has now.
    RECT client;
    ::GetClientRect(hwnd_, &client);
    place = window_rect_around({suggested.left, suggested.top}, {client.right, client.bottom},
                               static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                               static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi);
  }
  ::SetWindowPos(hwnd_, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  // A control moved or given a font without drawing keeps what it showed at the old dpi, and
  // the form clips its children, so all of them are invalidated.
  ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void MainWindow::show() {
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::UpdateWindow(hwnd_);
  ::SetFocus(control(ui::focus_order()[0]));
}

void MainWindow::on_click(std::size_t index) {
  if (!form_) return;
  form_->dispatch(ostrael::event_source(ui::kControls[index].id), ostrael::Event::Click);
}

LRESULT CALLBACK MainWindow::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  return self->handle_message(message, wparam, lparam);
}

LRESULT MainWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND: {
      HWND from = reinterpret_cast<HWND>(lparam);
      if (from && HIWORD(wparam) == STN_CLICKED && ::GetParent(from) == hwnd_) {
        std::size_t index = index_of(from);
        if (index < ui::kControls.size() && ui::kControls[index].type == ui::ControlType::Image) on_click(index);
      }
      return 0;
    }
    case WM_ACTIVATE:
      // A window built without a dialog box keeps its focus only if it puts it back itself.
      if (LOWORD(wparam) == WA_INACTIVE) {
        focus_ = ::GetFocus();
      } else {
        HWND target = focus_ && ::IsWindowVisible(focus_) ? focus_ : nullptr;
        if (!target) target = control(ui::focus_order()[0]);
        if (!::IsWindowVisible(target)) target = control(ui::focus_order()[1]);
        ::SetFocus(target);
      }
      return 0;
    case WM_NEXTDLGCTL: {
      // IsDialogMessage asks the window to move the focus; only a dialog box does that by itself.
      HWND target = LOWORD(lparam) ? reinterpret_cast<HWND>(wparam) : ::GetNextDlgTabItem(hwnd_, ::GetFocus(), wparam != 0);
      if (!target) return 0;
      ::SetFocus(target);
      if (::SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) ::SendMessageW(target, EM_SETSEL, 0, -1);
      return 0;
    }
    case WM_GETDPISCALEDSIZE: {
      // Windows then suggests the layout's own size at the new dpi, not the old one scaled,
      // which can differ by a pixel or two and make the window flip between two monitors.
      RECT window = outer_rect(static_cast<int>(wparam), static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)));
      *reinterpret_cast<SIZE*>(lparam) = {window.right - window.left, window.bottom - window.top};
      return TRUE;
    }
    case WM_DPICHANGED:
      change_dpi(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_SYSCOLORCHANGE:
      // Windows sends this to top-level windows only; the common controls hear of the new colours
      // from their parent.
      for (HWND c : controls_)
        if (c) ::SendMessageW(c, WM_SYSCOLORCHANGE, wparam, lparam);
      [[fallthrough]];
    case WM_THEMECHANGED:
      // The pictures lie on the face colour, which either may have changed.
      if (pictures_.follow_face_colour()) ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
      break;
    case WM_TIMER:
      if (wparam != kAppendTimer) break;
      append_text1_piece();
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT CALLBACK MainWindow::picture_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* owner = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(::GetParent(hwnd), GWLP_USERDATA));
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(hwnd, &paint);
      std::size_t index = index_of(hwnd);
      RECT client;
      ::GetClientRect(hwnd, &client);
      if (owner && index < ui::kControls.size()) owner->pictures_.draw(dc, ui::kControls[index].picture, client);
      ::EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the whole picture
    case WM_SETCURSOR:
      if (HCURSOR hand = owner ? owner->pictures_.hand() : nullptr) {
        ::SetCursor(hand);
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      ::SetCapture(hwnd);
      return 0;
    case WM_LBUTTONUP:
      // A click is a press and a release on the same picture, as with a button.
      if (::GetCapture() == hwnd) {
        ::ReleaseCapture();
        POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
        RECT client;
        ::GetClientRect(hwnd, &client);
        if (::PtInRect(&client, point)) raise_click(hwnd);
      }
      return 0;
    case kPressPicture:
      raise_click(hwnd);
      return 0;
    case WM_GETOBJECT: {
      std::size_t index = index_of(hwnd);
      if (index >= ui::kControls.size()) break;
      if (LRESULT answer = answer_get_object(hwnd, ui::kControls[index], wparam, lparam)) return answer;
      break;
    }
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

ostrael::Status MainWindow::set_text1_text(std::string_view text) {
  cancel_text1_appends();
  std::wstring wide = with_crlf_breaks(to_utf16(text));
  HWND text1 = control(ui::ControlId::Text1);
  std::size_t first = text_piece_end(wide, 0, kFirstPiece);
  // Without a timer the whole text goes in at once: slow, but all of it.
  if (first == wide.size() || !::SetTimer(hwnd_, kAppendTimer, USER_TIMER_MINIMUM, nullptr)) {
    if (!::SetWindowTextW(text1, wide.c_str())) return last_error_failure("SetWindowTextW");
    return {};
  }
  std::wstring head = wide.substr(0, first);
  if (!::SetWindowTextW(text1, head.c_str())) {
    ::KillTimer(hwnd_, kAppendTimer);
    return last_error_failure("SetWindowTextW");
  }
  text1_pending_ = std::move(wide);
  text1_done_ = first;
  return {};
}

void MainWindow::append_text1_piece() {
  if (text1_done_ >= text1_pending_.size()) {
    cancel_text1_appends();
    return;
  }
  HWND text1 = control(ui::ControlId::Text1);
  std::size_t end = text_piece_end(text1_pending_, text1_done_, kLaterPiece);
  std::wstring piece = text1_pending_.substr(text1_done_, end - text1_done_);

  // EM_REPLACESEL goes where the selection is, and it and EM_SETSEL scroll to the caret; the
  // reader's selection and then their first line go back afterwards. No drawing in between, so the view never jumps; but
  // WM_SETREDRAW also sets WS_VISIBLE again, so it is left out while Text1 is hidden.
  DWORD sel_start = 0, sel_end = 0;
  ::SendMessageW(text1, EM_GETSEL, reinterpret_cast<WPARAM>(&sel_start), reinterpret_cast<LPARAM>(&sel_end));
  LRESULT top = ::SendMessageW(text1, EM_GETFIRSTVISIBLELINE, 0, 0);
  bool drawn = (::GetWindowLongPtrW(text1, GWL_STYLE) & WS_VISIBLE) != 0;
  if (drawn) ::SendMessageW(text1, WM_SETREDRAW, FALSE, 0);
  LRESULT length = ::SendMessageW(text1, WM_GETTEXTLENGTH, 0, 0);
  ::SendMessageW(text1, EM_SETSEL, static_cast<WPARAM>(length), length);
  ::SendMessageW(text1, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
  ::SendMessageW(text1, EM_SETSEL, sel_start, static_cast<LPARAM>(sel_end));
  LRESULT now_top = ::SendMessageW(text1, EM_GETFIRSTVISIBLELINE, 0, 0);
  if (now_top != top) ::SendMessageW(text1, EM_LINESCROLL, 0, top - now_top);
  if (drawn) {
    ::SendMessageW(text1, WM_SETREDRAW, TRUE, 0);
    ::RedrawWindow(text1, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  }

  text1_done_ = end;
  if (text1_done_ >= text1_pending_.size()) cancel_text1_appends();
}

void MainWindow::cancel_text1_appends() {
  if (text1_pending_.empty()) return;
  ::KillTimer(hwnd_, kAppendTimer);
  std::wstring().swap(text1_pending_);
  text1_done_ = 0;
}

ostrael::Status MainWindow::set_text1_visible(bool visible) {
  HWND text1 = control(ui::ControlId::Text1), list1 = control(ui::ControlId::List1);
  // The focus moves with the view that shows, if it was on the other: a hidden Text1 would
  // swallow the keys, and a covered List1 would move a selection under the message. Only this
  // switch moves it; Tab still takes it to the covered List1, as to any tab stop. SetFocus on a
  // control of a window that is not active activates the window and brings it in front of the
  // one the user is in, which a screen reader's press must not do; there the focus it gets back
  // on activation moves.
  bool active = ::GetActiveWindow() == hwnd_;
  HWND from = visible ? list1 : text1, to = visible ? text1 : list1;
  if (visible) ::ShowWindow(text1, SW_SHOW);
  if ((active ? ::GetFocus() : focus_) == from) {
    if (active) ::SetFocus(to);
    else focus_ = to;
  }
  if (!visible) ::ShowWindow(text1, SW_HIDE);
  return {};
}

ostrael::Status MainWindow::clear_list1() {
  ::SendMessageW(control(ui::ControlId::List1), LB_RESETCONTENT, 0, 0);
  return {};
}

ostrael::Status MainWindow::add_list1_line(std::string_view line) {
  std::wstring wide = to_utf16(line);
  LRESULT index = ::SendMessageW(control(ui::ControlId::List1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  if (index == LB_ERR || index == LB_ERRSPACE) return ostrael::Failure{"LB_ADDSTRING", index, "the list is full"};
  return {};
}

}  // namespace win32
