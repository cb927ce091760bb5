// The form ostraelen as a Win32 window, built from the description in ui/layout.h, and the
// Controls the handlers change at run time.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "app/ostraelen.h"
#include "pictures.h"
#include "ui/layout.h"
#include "unique_handle.h"

namespace win32 {

// A multi-line EDIT breaks lines only at CRLF; LF and a lone CR become CRLF.
std::wstring with_crlf_breaks(std::wstring_view text);

// Child-window id of the control at `index` in ui::kControls; ids 1 and 2 stay free for the
// IDOK and IDCANCEL that IsDialogMessage sends.
constexpr int control_id(std::size_t index) { return 100 + static_cast<int>(index); }

inline constexpr wchar_t kWindowClass[] = L"ostraelen";

class MainWindow final : public ostrael::Controls {
 public:
  MainWindow(HINSTANCE instance, const Pictures& pictures) : instance_(instance), pictures_(pictures) {}
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls, hidden, sized and centred for its monitor's dpi.
  ostrael::Status create();
  // Clicks go to this form from now on.
  void attach(ostrael::ostraelen& form) { form_ = &form; }
  void show();
  HWND hwnd() const { return hwnd_; }

  ostrael::Status set_text1_text(std::string_view text) override;
  ostrael::Status set_text1_visible(bool visible) override;
  ostrael::Status clear_list1() override;
  ostrael::Status add_list1_line(std::string_view line) override;

 private:
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK picture_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);

  ostrael::Status register_classes();
  ostrael::Status create_controls();
  ostrael::Status create_tooltips();
  ostrael::Status make_fonts(int dpi);
  // Places every control, sets the fonts and sizes the window for `dpi`.
  void lay_out(int dpi);
  void on_click(std::size_t index);
  HWND control(ostrael::ui::ControlId id) const;

  HINSTANCE instance_;
  const Pictures& pictures_;
  ostrael::ostraelen* form_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND focus_ = nullptr;  // where the focus goes back to when the window is activated again
  std::array<HWND, ostrael::ui::kControls.size()> controls_{};
  struct MadeFont {
    ostrael::ui::Font font;
    UniqueFont handle;
  };
  std::vector<MadeFont> fonts_;  // one per distinct font of the table, for the current dpi
};

}  // namespace win32
