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

// Where a piece of `text` that starts at `from` and holds about `most` units should end: after
// the last line break in its second half if there is one, and never between CR and LF or
// inside a surrogate pair, so the pieces appended one after the other give back `text`.
// Always past `from` while text remains.
std::size_t text_piece_end(std::wstring_view text, std::size_t from, std::size_t most);

// Child-window id of the control at `index` in ui::kControls; ids 1 and 2 stay free for the
// IDOK and IDCANCEL that IsDialogMessage sends.
constexpr int control_id(std::size_t index) { return 100 + static_cast<int>(index); }

// The window rectangle, its top-left corner at `at`, of a window with `style` and `ex_style` whose
// client area is `client` at `dpi`: that area with the frame drawn for `dpi` around it.
RECT window_rect_around(POINT at, SIZE client, DWORD style, DWORD ex_style, int dpi);

inline constexpr wchar_t kWindowClass[] = L"ostraelen";

class MainWindow final : public ostrael::Controls {
 public:
  // The window makes `pictures` again when its dpi changes.
  MainWindow(HINSTANCE instance, Pictures& pictures) : instance_(instance), pictures_(pictures) {}
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls, hidden, sized and centred for its monitor's dpi.
  ostrael::Status create();
  // Clicks go to this form from now on.
  void attach(ostrael::ostraelen& form) { form_ = &form; }
  void show();
  // The tooltips of the pictures. Nothing on the first paint needs them and no pointer rests on
  // a picture before the window shows, so they are added after show() and cost it nothing.
  ostrael::Status add_tooltips();
  HWND hwnd() const { return hwnd_; }
  // The dpi the window and its fonts, pictures and places are made for.
  int dpi() const { return dpi_; }

  ostrael::Status set_text1_text(std::string_view text) override;
  ostrael::Status set_text1_visible(bool visible) override;
  ostrael::Status clear_list1() override;
  ostrael::Status add_list1_line(std::string_view line) override;

 private:
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK picture_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);

  struct MadeFont {
    ostrael::ui::Font font;
    UniqueFont handle;
  };
  using Fonts = std::vector<MadeFont>;

  ostrael::Status register_classes();
  // Makes every control at its place for `dpi`, with its font from use_fonts.
  ostrael::Status create_controls(int dpi);
  // One font per distinct font of the table, for `dpi`.
  static ostrael::Result<Fonts> make_fonts(int dpi);
  // Hands `fonts` to the controls there are, without drawing, and frees the ones they had.
  void use_fonts(Fonts fonts);
  HFONT font_of(std::size_t index) const;
  // The control's rectangle in its parent's client area, in pixels at `dpi`.
  RECT control_rect(std::size_t index, int dpi) const;
  // The outer rectangle, at the origin, of a window with `style` whose client area is the
  // form's at `dpi`.
  static RECT outer_rect(int dpi, DWORD style);
  // That rectangle centred on the primary monitor, where the window first shows.
  static RECT centred_on_primary(int dpi, DWORD style);
  // Makes the fonts, pictures, hand and tooltip font for `dpi` and, if all of them were made,
  // puts them and every control in place for it; then moves the window to `suggested`, or if
  // they were not, to a rectangle there that keeps its client area, and repaints all of it.
  void change_dpi(int dpi, const RECT& suggested);
  void on_click(std::size_t index);
  // Adds the next piece of a long message to Text1, keeping the reader's view and selection.
  void append_text1_piece();
  void cancel_text1_appends();
  HWND control(ostrael::ui::ControlId id) const;

  HINSTANCE instance_;
  Pictures& pictures_;
  ostrael::ostraelen* form_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND focus_ = nullptr;  // where the focus goes back to when the window is activated again
  int dpi_ = 0;
  std::array<HWND, ostrael::ui::kControls.size()> controls_{};
  Fonts fonts_;
  UniqueFont tooltip_font_;  // null while the tooltip keeps its own, made for the system dpi
  // A long message goes into Text1 in pieces after the window shows: the whole text, and how
  // much of it Text1 holds so far.
  std::wstring text1_pending_;
  std::size_t text1_done_ = 0;
};

}  // namespace win32
