// The window description against its pixel figures and the rules that tie controls together.
#include <gtest/gtest.h>

#include <cmath>

#include "ui/layout.h"

namespace ostrael::ui {
namespace {

const Control& find(ControlId id, int index = -1) { return control(id, index); }

TEST(Layout, PixelsAt96Dpi) {
  struct Case {
    ControlId id;
    int index;
    Rect container_relative;
  };
  const Case cases[] = {
      {ControlId::Frame1, -1, {8, 0, 369, 169}},   {ControlId::Text1, -1, {8, 16, 353, 145}},
      {ControlId::List1, -1, {8, 16, 353, 147}},   {ControlId::Image1, -1, {320, 176, 48, 48}},
      {ControlId::Image2, -1, {16, 176, 48, 48}},  {ControlId::Image3, -1, {224, 176, 48, 48}},
      {ControlId::Image4, -1, {120, 176, 48, 48}}, {ControlId::Label1, 0, {8, 224, 65, 17}},
      {ControlId::Label1, 1, {112, 224, 65, 17}},  {ControlId::Label1, 2, {208, 224, 81, 17}},
      {ControlId::Label1, 3, {312, 224, 65, 17}},
  };
  for (const Case& c : cases) {
    const Control& control = find(c.id, c.index);
    Rect r = control.twips;
    EXPECT_EQ(twips_to_pixels(r.left), c.container_relative.left) << control_name(c.id) << c.index;
    EXPECT_EQ(twips_to_pixels(r.top), c.container_relative.top);
    EXPECT_EQ(twips_to_pixels(r.width), c.container_relative.width);
    EXPECT_EQ(twips_to_pixels(r.height), c.container_relative.height);
  }
  Rect text = client_pixels(find(ControlId::Text1));
  EXPECT_EQ(text.left, 16);
  EXPECT_EQ(text.top, 16);
  EXPECT_EQ(twips_to_pixels(kForm.client_width_twips), 386);
  EXPECT_EQ(twips_to_pixels(kForm.client_height_twips), 241);
}

// The caption the table gives a picture is the one a finder sees under it.
TEST(Layout, EachPicturesCaptionSitsCentredUnderItAndFillsTheBottom) {
  for (const Control& picture : kControls) {
    if (picture.type != ControlType::Image) continue;
    Rect label = find(ControlId::Label1, picture.caption_index).twips, button = picture.twips;
    double label_centre = label.left + label.width / 2.0, button_centre = button.left + button.width / 2.0;
    EXPECT_LE(std::abs(label_centre - button_centre), 7.5) << control_name(picture.id);  // half a pixel
    EXPECT_GE(label.top, button.top + button.height);
    EXPECT_EQ(label.top + label.height, kForm.client_height_twips);
  }
}

// A screen reader names each picture by the caption a sighted finder reads under it.
// Callers index the table with the answer, so a control it lacks must not come back as an index,
// also where asserts are compiled out (this test runs in an optimised build).
TEST(LayoutDeathTest, AControlTheTableLacksStopsTheProgram) {
  EXPECT_DEATH(control_index(ControlId::Label1, 4), "");
  EXPECT_DEATH(control_index(ControlId::Image1, 0), "");
}

TEST(Layout, AccessibleNamesAreTheVisibleCaptions) {
  const std::pair<const Control*, std::string_view> cases[] = {
      {&find(ControlId::Image2), "Message"},      {&find(ControlId::Image4), "Open Pen"},
      {&find(ControlId::Image3), "Information"},  {&find(ControlId::Image1), "Close"},
      {&find(ControlId::Text1), "Owner Message"}, {&find(ControlId::List1), "Pen Info"},
      {&find(ControlId::Frame1), ""},             {&find(ControlId::Label1, 2), ""},
  };
  for (auto [control, name] : cases) EXPECT_EQ(accessible_name(*control), name) << control_name(control->id);
}

TEST(Layout, ScalingKeepsTwipsAuthoritative) {
  Rect at144 = client_pixels(find(ControlId::Image1), 144);
  EXPECT_EQ(at144.left, 480);
  EXPECT_EQ(at144.width, 72);
  Rect list = client_pixels(find(ControlId::List1), 120);
  EXPECT_EQ(list.left, 20);  // (120 + 120) twips at 120 dpi, rounded once
}

TEST(Layout, OnlyTheTwoViewsTakeFocusAndOnlyThePicturesHaveTooltipsAndTheHand) {
  EXPECT_EQ(focus_order(), (std::array<ControlId, 2>{ControlId::Text1, ControlId::List1}));
  for (const Control& c : kControls) {
    bool picture = c.type == ControlType::Image;
    EXPECT_EQ(!c.tooltip.empty(), picture) << control_name(c.id);
    EXPECT_EQ(c.hand_cursor, picture);
    EXPECT_EQ(c.picture != Asset::None, picture);
    EXPECT_NE(c.text.find('&'), 0u);  // no access keys
  }
}

}  // namespace
}  // namespace ostrael::ui
