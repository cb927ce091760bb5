// The window described as data: the form's settings and its eleven controls in twips.
// Both backends build the window from this table and nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ostrael::ui {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDesignDpi = 96;  // 15 twips per pixel

// Twips to pixels at `dpi`, to the nearest pixel.
constexpr int twips_to_pixels(int twips, int dpi = kDesignDpi) {
  return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

enum class ControlType { Frame, TextBox, ListBox, Image, Label };
enum class ControlId { Frame1, Text1, List1, Image1, Image2, Image3, Image4, Label1 };
enum class Align { Left, Centre };
enum class Asset { None, CloseGif, MessageGif, InfoGif, OpenGif };

struct Font {
  std::string_view face;
  double points = 0;  // 0: the toolkit's default control font
  int weight = 400;
};

inline constexpr Font kDefaultFont{};

struct Rect {
  int left, top, width, height;  // twips, from the container's inner top-left corner
};

struct Control {
  ControlId id;
  int index;  // -1 unless the control is an array element (Label1)
  ControlType type;
  std::optional<ControlId> container;  // empty: the form's client area
  Rect twips;
  std::string_view text;     // caption or initial text
  std::string_view tooltip;  // empty: none
  Font font;
  Align align;
  std::optional<int> tab_index;  // empty: not in the tab order (the pictures)
  bool tab_stop;                 // can take the keyboard focus
  bool hand_cursor;
  Asset picture;
  int caption_index;  // a picture: the Label1 under it, which names it; otherwise -1
};

struct Form {
  std::string_view name;
  std::string_view caption;
  int client_width_twips;
  int client_height_twips;
  std::uint32_t fore_colour_rgb;  // 0xRRGGBB; nothing draws text in the form's own colour
  bool max_button;
  bool min_button;
  bool resizable;
};

inline constexpr Form kForm{
    "ostraelen", "Ostrael ", 5790, 3615, 0x010042, false, true, false,
};

inline constexpr Font kTahoma{"Tahoma", 8.25, 400};
inline constexpr Font kTahomaBold{"Tahoma", 8.25, 700};

// Creation order; inside Frame1 it is also the stacking order, top first.
inline constexpr std::array<Control, 11> kControls{{
    {ControlId::Frame1, -1, ControlType::Frame, std::nullopt, {120, 0, 5535, 2535}, "", "", kDefaultFont, Align::Left, 0, false, false, Asset::None, -1},
    {ControlId::Text1, -1, ControlType::TextBox, ControlId::Frame1, {120, 240, 5295, 2175}, "", "", kDefaultFont, Align::Left, 1, true, false, Asset::None, -1},
    {ControlId::List1, -1, ControlType::ListBox, ControlId::Frame1, {120, 240, 5295, 2205}, "", "", kTahoma, Align::Left, 2, true, false, Asset::None, -1},
    {ControlId::Image1, -1, ControlType::Image, std::nullopt, {4800, 2640, 720, 720}, "", "Close", kDefaultFont, Align::Left, std::nullopt, false, true, Asset::CloseGif, 3},
    {ControlId::Image2, -1, ControlType::Image, std::nullopt, {240, 2640, 720, 720}, "", "Owner Message", kDefaultFont, Align::Left, std::nullopt, false, true, Asset::MessageGif, 0},
    {ControlId::Image3, -1, ControlType::Image, std::nullopt, {3360, 2640, 720, 720}, "", "Pen Info", kDefaultFont, Align::Left, std::nullopt, false, true, Asset::InfoGif, 2},
    {ControlId::Image4, -1, ControlType::Image, std::nullopt, {1800, 2640, 720, 720}, "", "Open Pen", kDefaultFont, Align::Left, std::nullopt, false, true, Asset::OpenGif, 1},
    {ControlId::Label1, 0, ControlType::Label, std::nullopt, {120, 3360, 975, 255}, "Message", "", kTahomaBold, Align::Centre, 6, false, false, Asset::None, -1},
    {ControlId::Label1, 1, ControlType::Label, std::nullopt, {1680, 3360, 975, 255}, "Open Pen", "", kTahomaBold, Align::Centre, 5, false, false, Asset::None, -1},
    {ControlId::Label1, 2, ControlType::Label, std::nullopt, {3120, 3360, 1215, 255}, "Information", "", kTahomaBold, Align::Centre, 4, false, false, Asset::None, -1},
    {ControlId::Label1, 3, ControlType::Label, std::nullopt, {4680, 3360, 975, 255}, "Close", "", kTahomaBold, Align::Centre, 3, false, false, Asset::None, -1},
}};

// Where the control stands in kControls, the order every backend keeps its widgets in. `index`
// only for Label1. A control the table lacks ends the program, in release builds too.
std::size_t control_index(ControlId id, int index = -1);
inline const Control& control(ControlId id, int index = -1) { return kControls[control_index(id, index)]; }

// The control's name as the form knows it: "Image3", "Label1(2)".
std::string_view control_name(ControlId id);

// The control's rectangle in pixels of the form's client area at `dpi`, container offsets added.
Rect client_pixels(const Control& control, int dpi = kDesignDpi);

// What a screen reader calls the control. A picture goes by the caption under it, the label a
// sighted finder reads, so that a speech user can say "click Information"; Text1 and List1 go
// by the tooltip of the picture that brings them forward. Empty for a control that names itself.
std::string_view accessible_name(const Control& control);

// The controls that take the focus, in tab order.
std::array<ControlId, 2> focus_order();

// The asset's file name under src/ui/assets, e.g. "close.gif".
std::string_view asset_file(Asset asset);
// The file of the picture drawn at `size` pixels: "close.gif" at 48, "close-96.gif" at 96.
std::string asset_file(Asset asset, int size);
// How much of each of its pixels that picture covers: "close-coverage.gif", "close-96-coverage.gif".
std::string coverage_file(Asset asset, int size);

// The sizes each picture is drawn at, smallest first: 48 px at 96 dpi, then for 125, 150, 200 and
// 300 %. A screen of another scale gets the next larger drawing, reduced (ui/picture.h).
inline constexpr std::array<int, 5> kPictureSizes{48, 60, 72, 96, 144};

// The hand over the pictures: one file holding it at each size Windows gives a cursor from 100 % to
// 300 %, 32 px first.
inline constexpr std::string_view kCursorFile = "hand.cur";
inline constexpr std::array<int, 7> kCursorSizes{32, 40, 48, 56, 64, 80, 96};
inline constexpr std::string_view kIconFile = "ostrael.ico";

}  // namespace ostrael::ui
