// Lookups over the window description.
#include "ui/layout.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

namespace ostrael::ui {

std::string_view control_name(ControlId id) {
  switch (id) {
    case ControlId::Frame1: return "Frame1";
    case ControlId::Text1: return "Text1";
    case ControlId::List1: return "List1";
    case ControlId::Image1: return "Image1";
    case ControlId::Image2: return "Image2";
    case ControlId::Image3: return "Image3";
    case ControlId::Image4: return "Image4";
    case ControlId::Label1: return "Label1";
  }
  return "";
}

std::size_t control_index(ControlId id, int index) {
  auto it = std::find_if(kControls.begin(), kControls.end(),
                         [=](const Control& c) { return c.id == id && c.index == index; });
  // Every caller indexes with the answer; past the table it would read and write whatever lies
  // there, so a control the table lacks stops the program in every build.
  if (it == kControls.end()) std::abort();
  return static_cast<std::size_t>(it - kControls.begin());
}

Rect client_pixels(const Control& c, int dpi) {
  // Offsets add up in twips first, so rounding happens once at any dpi.
  int left = c.twips.left;
  int top = c.twips.top;
  for (auto parent = c.container; parent; parent = control(*parent).container) {
    left += control(*parent).twips.left;
    top += control(*parent).twips.top;
  }
  return {twips_to_pixels(left, dpi), twips_to_pixels(top, dpi), twips_to_pixels(c.twips.width, dpi),
          twips_to_pixels(c.twips.height, dpi)};
}

std::string_view accessible_name(const Control& c) {
  switch (c.id) {
    case ControlId::Image1:
    case ControlId::Image2:
    case ControlId::Image3:
    case ControlId::Image4: return control(ControlId::Label1, c.caption_index).text;
    case ControlId::Text1: return control(ControlId::Image2).tooltip;
    case ControlId::List1: return control(ControlId::Image3).tooltip;
    case ControlId::Frame1:
    case ControlId::Label1: break;
  }
  return "";
}

std::array<ControlId, 2> focus_order() {
  std::array<const Control*, 2> stops{};
  std::size_t n = 0;
  for (const Control& c : kControls)
    if (c.tab_stop) {
      assert(n < stops.size());
      stops[n++] = &c;
    }
  assert(n == stops.size());
  std::sort(stops.begin(), stops.end(), [](const Control* a, const Control* b) { return *a->tab_index < *b->tab_index; });
  return {stops[0]->id, stops[1]->id};
}

std::string_view asset_file(Asset asset) {
  switch (asset) {
    case Asset::None: return "";
    case Asset::CloseGif: return "close.gif";
    case Asset::MessageGif: return "message.gif";
    case Asset::InfoGif: return "info.gif";
    case Asset::OpenGif: return "open.gif";
  }
  return "";
}

std::string asset_file(Asset asset, int size) {
  std::string file(asset_file(asset));
  if (size == kPictureSizes.front() || file.empty()) return file;
  return file.insert(file.rfind('.'), "-" + std::to_string(size));
}

std::string coverage_file(Asset asset, int size) {
  std::string file = asset_file(asset, size);
  if (file.empty()) return file;
  return file.insert(file.rfind('.'), "-coverage");
}

}  // namespace ostrael::ui
