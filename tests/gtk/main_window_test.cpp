// The GTK window built in this process on a private Xvfb, driven with real X input through XTest.
#include "platform/gtk/main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gtk/accessible.h"
#include "platform/gtk/pictures.h"
#include "ui/layout.h"
#include "ui/picture.h"
#include "x_session.h"
// Last: Xlib's macros (None, Status) would break the headers above.
#include <gdk/gdkx.h>

namespace ostrael::testing {
namespace {

using namespace std::chrono_literals;
using ui::ControlId;

XServer* g_x = nullptr;

class XEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    x_ = std::make_unique<XServer>();
    g_x = x_.get();
    // Nothing here reads the accessibility tree; without this GTK would look for a session bus.
    g_setenv("NO_AT_BRIDGE", "1", TRUE);
    gdk_set_allowed_backends("x11");
    ASSERT_TRUE(gdk_display_open(x_->display().c_str()) != nullptr);
    g_setenv("DISPLAY", x_->display().c_str(), TRUE);
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
  }
  void TearDown() override {
    g_x = nullptr;
    x_.reset();
  }

 private:
  std::unique_ptr<XServer> x_;
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new XEnvironment);

GtkWidget* outer(GtkWidget* widget) {
  GtkWidget* parent = gtk_widget_get_parent(widget);
  if (GTK_IS_VIEWPORT(parent)) parent = gtk_widget_get_parent(parent);
  if (GTK_IS_SCROLLED_WINDOW(parent) || GTK_IS_EVENT_BOX(parent) || GTK_IS_OVERLAY(parent)) return parent;
  return widget;
}

// The pixels a picture button shows, as its image's surface holds them.
ui::Picture picture_shown(GtkWidget* picture) {
  GtkWidget* image = gtk_bin_get_child(GTK_BIN(picture));
  cairo_surface_t* surface = nullptr;
  if (gtk_image_get_storage_type(GTK_IMAGE(image)) == GTK_IMAGE_SURFACE) g_object_get(image, "surface", &surface, nullptr);
  if (!surface) return {};
  ui::Picture out = gtk::picture_of(surface);
  cairo_surface_destroy(surface);
  return out;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<gtk::MainWindow>([this](ControlId id) { clicks_.push_back(id); },
                                                [this](std::string_view line) { reports_.emplace_back(line); });
    window_->show();
    ASSERT_TRUE(pump_until([this] { return gtk_widget_get_mapped(GTK_WIDGET(window_->window())); }));
    pump_for(200ms);
    input_ = std::make_unique<Input>(g_x->display());
  }

  GtkWidget* w(ControlId id, int index = -1) { return window_->widget(id, index); }

  // The control's rectangle in the window's client area, as laid out.
  ui::Rect placed(GtkWidget* widget) {
    GtkWidget* box = outer(widget);
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(box, GTK_WIDGET(window_->window()), 0, 0, &x, &y);
    GtkAllocation a;
    gtk_widget_get_allocation(box, &a);
    return {x, y, a.width, a.height};
  }

  // The centre of the control on the screen.
  void centre_on_screen(GtkWidget* widget, int& sx, int& sy) {
    ui::Rect r = placed(widget);
    int ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window_->window())), &ox, &oy);
    sx = ox + r.left + r.width / 2;
    sy = oy + r.top + r.height / 2;
  }

  void click_on(GtkWidget* widget) {
    int x, y;
    centre_on_screen(widget, x, y);
    input_->click(x, y);
    pump_for(150ms);
  }

  std::string text1() {
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(w(ControlId::Text1)));
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    g_autofree char* text = gtk_text_buffer_get_text(buffer, &start, &end, TRUE);
    return text;
  }

  std::vector<std::string> list1() {
    std::vector<std::string> lines;
    for (int i = 0; GtkListBoxRow* row = gtk_list_box_get_row_at_index(GTK_LIST_BOX(w(ControlId::List1)), i); ++i)
      lines.emplace_back(gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(row)))));
    return lines;
  }

  GtkWidget* focus() { return gtk_window_get_focus(window_->window()); }
  // The focus is on the view, or for List1 on one of its lines.
  bool focus_in(ControlId id) { return focus() == w(id) || (focus() && gtk_widget_is_ancestor(focus(), w(id))); }

  std::unique_ptr<gtk::MainWindow> window_;
  std::unique_ptr<Input> input_;
  std::vector<ControlId> clicks_;
  std::vector<std::string> reports_;
};

TEST_F(MainWindowTest, FormMatchesTheDescription) {
  GtkWindow* window = window_->window();
  EXPECT_STREQ(gtk_window_get_title(window), std::string(ui::kForm.caption).c_str());
  EXPECT_FALSE(gtk_window_get_resizable(window));
  EXPECT_TRUE(reports_.empty()) << reports_.front();

  // The X window itself, as the window system sees it.
  unsigned long xid = input_->find_window(std::string(ui::kForm.caption));
  ASSERT_NE(xid, 0u);
  int x, y, width, height;
  ASSERT_TRUE(input_->geometry(xid, x, y, width, height));
  EXPECT_EQ(width, ui::twips_to_pixels(ui::kForm.client_width_twips));
  EXPECT_EQ(height, ui::twips_to_pixels(ui::kForm.client_height_twips));
  // Centred on the 1024 x 768 screen.
  EXPECT_NEAR(x, (1024 - width) / 2, 1);
  EXPECT_NEAR(y, (768 - height) / 2, 1);

  // One icon per size, every size the icon file has.
  GList* icons = gtk_window_get_icon_list(window);
  std::vector<int> sizes;
  for (GList* l = icons; l; l = l->next) sizes.push_back(gdk_pixbuf_get_width(GDK_PIXBUF(l->data)));
  g_list_free(icons);
  EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));
}

TEST_F(MainWindowTest, EveryControlSitsWhereTheDescriptionPutsIt) {
  for (const ui::Control& control : ui::kControls) {
    SCOPED_TRACE(std::string(ui::control_name(control.id)) + " " + std::to_string(control.index));
    ui::Rect want = ui::client_pixels(control);
    ui::Rect got = placed(w(control.id, control.index));
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
  }
}

TEST_F(MainWindowTest, PicturesShowTheirAssetWithTooltipAndHandCursor) {
  for (const ui::Control& control : ui::kControls) {
    SCOPED_TRACE(std::string(ui::control_name(control.id)) + " " + std::to_string(control.index));
    GtkWidget* widget = outer(w(control.id, control.index));
    g_autofree char* tooltip = gtk_widget_get_tooltip_text(widget);
    EXPECT_EQ(std::string(tooltip ? tooltip : ""), control.tooltip);
    GdkCursor* cursor = gtk_widget_get_has_window(widget) ? gdk_window_get_cursor(gtk_widget_get_window(widget)) : nullptr;
    EXPECT_EQ(cursor != nullptr, control.hand_cursor);
    EXPECT_EQ(gtk_widget_get_can_focus(w(control.id, control.index)), control.tab_stop);
    if (widget != w(control.id, control.index)) {
      EXPECT_FALSE(gtk_widget_get_can_focus(widget));
    }
    if (control.type != ui::ControlType::Image) continue;

    // What the pointer really shows when it rests on the picture.
    int x, y, width, height, hot_x, hot_y;
    centre_on_screen(widget, x, y);
    input_->move(x, y);
    pump_for(100ms);
    ASSERT_TRUE(input_->cursor(width, height, hot_x, hot_y));
    EXPECT_EQ(width, 32);
    EXPECT_EQ(hot_x, 5);  // the fingertip
    EXPECT_EQ(hot_y, 0);

    ui::Picture shown = picture_shown(widget);
    EXPECT_EQ(shown.width, client_pixels(control).width);
    EXPECT_EQ(shown.height, client_pixels(control).height);
    ASSERT_FALSE(shown.pixels.empty());
    EXPECT_EQ(shown.pixels[0], 0u) << "the corner should be transparent";
  }
}

// The pictures lie on whatever the theme paints. Switched to the dark theme while open, each is
// on screen as its premultiplied pixels laid on the dark background, with nothing left of the
// grey its edges were drawn on; switched back, it lies on the light one again.
TEST_F(MainWindowTest, PicturesFollowTheThemeOntoItsBackground) {
  GtkSettings* settings = gtk_widget_get_settings(GTK_WIDGET(window_->window()));
  int ox = 0, oy = 0;
  gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window_->window())), &ox, &oy);
  for (bool dark : {true, false}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    g_object_set(settings, "gtk-application-prefer-dark-theme", static_cast<gboolean>(dark), nullptr);
    pump_for(300ms);
    for (ControlId id : {ControlId::Image1, ControlId::Image2, ControlId::Image3, ControlId::Image4}) {
      ui::Rect r = placed(w(id));
      const std::string screen = input_->pixels(ox + r.left, oy + r.top, r.width, r.height);
      ASSERT_EQ(screen.size(), static_cast<std::size_t>(r.width) * r.height * 3);
      auto at = [&](std::size_t i) {
        auto byte = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(screen[3 * i + k])); };
        return byte(0) << 16 | byte(1) << 8 | byte(2);
      };
      const std::uint32_t background = at(0);  // the corner is transparent
      EXPECT_EQ((background & 0xFF) < 0x80, dark) << std::hex << background;
      const ui::Picture want = ui::laid_on(picture_shown(w(id)), background);
      ASSERT_EQ(want.pixels.size(), screen.size() / 3);
      std::size_t wrong = 0;
      for (std::size_t i = 0; i < want.pixels.size(); ++i) wrong += at(i) != (want.pixels[i] & 0xFFFFFF);
      EXPECT_EQ(wrong, 0u) << ui::control_name(id);
    }
  }
  EXPECT_TRUE(reports_.empty()) << reports_.front();
}

// Moved to a screen of another scale, the window shows the pictures and the hand drawn for it.
// GDK keeps a hot spot to whole pixels of the window: the 96 px hand's (16, 0) is 15 at scale 3.
TEST_F(MainWindowTest, PicturesAndHandFollowTheWindowsScale) {
  gtk_window_move(window_->window(), 0, 0);  // at scale 3 the window is larger than the screen
  GtkWidget* picture = w(ControlId::Image3);
  GtkImage* image = GTK_IMAGE(gtk_bin_get_child(GTK_BIN(picture)));
  for (auto [scale, cursor, hot_x] : {std::array{2, 64, 10}, std::array{3, 96, 15}, std::array{1, 32, 5}}) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    gdk_x11_display_set_window_scale(gtk_widget_get_display(picture), scale);
    ASSERT_TRUE(pump_until([&] { return gtk_widget_get_scale_factor(picture) == scale; }));
    pump_for(200ms);
    cairo_surface_t* surface = nullptr;
    g_object_get(image, "surface", &surface, nullptr);
    ASSERT_TRUE(surface);
    double x_scale = 0;
    cairo_surface_get_device_scale(surface, &x_scale, nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(surface), ui::picture_size(ui::control(ControlId::Image3), ui::kDesignDpi * scale).width);
    EXPECT_EQ(x_scale, scale);
    cairo_surface_destroy(surface);
    int x, y, width, height, hot_x_shown, hot_y;
    centre_on_screen(picture, x, y);
    input_->move(x * scale, y * scale);
    pump_for(100ms);
    ASSERT_TRUE(input_->cursor(width, height, hot_x_shown, hot_y));
    EXPECT_EQ(width, cursor);
    EXPECT_EQ(hot_x_shown, hot_x);
    EXPECT_EQ(hot_y, 0);
  }
  EXPECT_TRUE(reports_.empty()) << reports_.front();
}

TEST_F(MainWindowTest, CaptionsAreBoldCentredAndFitTheirBoxes) {
  for (const ui::Control& control : ui::kControls) {
    if (control.type != ui::ControlType::Label) continue;
    SCOPED_TRACE(control.text);
    GtkLabel* label = GTK_LABEL(w(control.id, control.index));
    EXPECT_EQ(std::string(gtk_label_get_text(label)), control.text);
    PangoLayout* layout = gtk_label_get_layout(label);
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    ui::Rect box = ui::client_pixels(control);
    EXPECT_LE(logical.width, box.width);
    EXPECT_LE(logical.height, box.height);
    EXPECT_EQ(pango_layout_get_line_count(layout), 1);
    // The face actually used is bold, whichever of the fallbacks it is.
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout, 0);
    auto* run = static_cast<PangoGlyphItem*>(line->runs->data);
    PangoFontDescription* used = pango_font_describe(run->item->analysis.font);
    EXPECT_EQ(pango_font_description_get_weight(used), PANGO_WEIGHT_BOLD) << pango_font_description_get_family(used);
    pango_font_description_free(used);
    // Centred: the text's middle is the box's middle, within a pixel.
    int lx = 0, ly = 0;
    gtk_label_get_layout_offsets(label, &lx, &ly);
    int label_x = 0, label_y = 0;
    gtk_widget_translate_coordinates(GTK_WIDGET(label), GTK_WIDGET(window_->window()), 0, 0, &label_x, &label_y);
    GtkAllocation a;
    gtk_widget_get_allocation(GTK_WIDGET(label), &a);
    double text_middle = lx - (a.x - label_x) + logical.x + logical.width / 2.0;
    EXPECT_NEAR(text_middle - placed(GTK_WIDGET(label)).left, box.width / 2.0, 1.0);
  }
}

TEST_F(MainWindowTest, LineBreaksOfEveryKindShowAsBreaks) {
  const struct {
    const char* in;
    const char* shown;
  } cases[] = {
      {"one\r\ntwo", "one\ntwo"}, {"one\ntwo", "one\ntwo"},   {"one\rtwo", "one\ntwo"},
      {"a\r\r\nb", "a\n\nb"},     {"end\r", "end\n"},         {"\xff ok", "\xef\xbf\xbd ok"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(window_->set_text1_text(c.in));
    EXPECT_EQ(text1(), c.shown) << c.in;
  }
}

// A long message shows its beginning at once and the rest follows without moving the view; the
// whole text ends up exactly as given, and a new text stops what is left of the old one.
TEST_F(MainWindowTest, ALongMessageArrivesWholeWithoutMovingTheView) {
  std::string message;
  for (int i = 0; message.size() < 300 * 1024; ++i)
    message += "Zeile " + std::to_string(i) + " gr\xc3\xbc\xc3\x9f\xe6\x97\xa5 " + std::string(i % 97, 'x') + (i % 3 ? "\r\n" : "\r");
  std::string expected;
  for (std::size_t i = 0; i < message.size(); ++i)
    if (message[i] == '\r') expected += '\n', i += message.compare(i, 2, "\r\n") == 0;
    else expected += message[i];

  ASSERT_TRUE(window_->set_text1_text(message));
  std::string first = text1();
  EXPECT_LT(first.size(), expected.size());
  EXPECT_EQ(expected.compare(0, first.size(), first), 0);

  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(w(ControlId::Text1)));
  GtkTextIter from, to;
  gtk_text_buffer_get_iter_at_offset(buffer, &from, 6);
  gtk_text_buffer_get_iter_at_offset(buffer, &to, 9);
  gtk_text_buffer_select_range(buffer, &from, &to);
  ASSERT_TRUE(pump_until([&] { return text1().size() == expected.size(); }));
  EXPECT_EQ(text1(), expected);
  gtk_text_buffer_get_selection_bounds(buffer, &from, &to);
  EXPECT_EQ(gtk_text_iter_get_offset(&from), 6);
  EXPECT_EQ(gtk_text_iter_get_offset(&to), 9);
  GtkAdjustment* v = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(outer(w(ControlId::Text1))));
  EXPECT_EQ(gtk_adjustment_get_value(v), 0.0);

  ASSERT_TRUE(window_->set_text1_text(message));
  ASSERT_TRUE(window_->set_text1_text("short"));
  pump_for(300ms);
  EXPECT_EQ(text1(), "short");
}

TEST_F(MainWindowTest, Text1WrapsAndScrollsVerticallyOnly) {
  GtkWidget* view = w(ControlId::Text1);
  EXPECT_FALSE(gtk_text_view_get_editable(GTK_TEXT_VIEW(view)));
  std::string long_text(3000, 'W');  // one word wider than the view
  for (int i = 0; i < 60; ++i) long_text += "\nline " + std::to_string(i);
  ASSERT_TRUE(window_->set_text1_text(long_text));
  pump_for(300ms);

  GtkScrolledWindow* scroller = GTK_SCROLLED_WINDOW(outer(view));
  EXPECT_FALSE(gtk_widget_get_mapped(gtk_scrolled_window_get_hscrollbar(scroller)));
  EXPECT_TRUE(gtk_widget_get_mapped(gtk_scrolled_window_get_vscrollbar(scroller)));
  GtkAdjustment* v = gtk_scrolled_window_get_vadjustment(scroller);
  EXPECT_GT(gtk_adjustment_get_upper(v), gtk_adjustment_get_page_size(v));
  GtkAdjustment* h = gtk_scrolled_window_get_hadjustment(scroller);
  EXPECT_LE(gtk_adjustment_get_upper(h), gtk_adjustment_get_page_size(h));
  // The window kept its size.
  int width, height;
  gtk_window_get_size(window_->window(), &width, &height);
  EXPECT_EQ(width, ui::twips_to_pixels(ui::kForm.client_width_twips));

  // Typing changes nothing.
  ASSERT_TRUE(window_->set_text1_text("keep"));
  click_on(view);
  input_->key("x");
  input_->key("BackSpace");
  input_->key("Delete");
  pump_for(150ms);
  EXPECT_EQ(text1(), "keep");
}

TEST_F(MainWindowTest, List1KeepsLinesInOrderOneSelected) {
  EXPECT_EQ(gtk_list_box_get_selection_mode(GTK_LIST_BOX(w(ControlId::List1))), GTK_SELECTION_SINGLE);
  for (const char* line : {"b", "a", "c\xfe"}) ASSERT_TRUE(window_->add_list1_line(line));
  EXPECT_EQ(list1(), (std::vector<std::string>{"b", "a", "c\xef\xbf\xbd"}));
  ASSERT_TRUE(window_->clear_list1());
  EXPECT_TRUE(list1().empty());
}

TEST_F(MainWindowTest, Text1LiesOverList1AndItsVisibilityDecides) {
  ASSERT_TRUE(window_->add_list1_line("kept"));
  // A click in the middle of the panel lands on the view on top.
  click_on(w(ControlId::Text1));
  EXPECT_EQ(focus(), w(ControlId::Text1));

  ASSERT_TRUE(window_->set_text1_visible(false));
  pump_for(150ms);
  click_on(w(ControlId::List1));
  EXPECT_TRUE(focus_in(ControlId::List1));
  // The top line is where the click went, so it is selected.
  int x, y;
  centre_on_screen(w(ControlId::List1), x, y);
  input_->click(x, y - placed(w(ControlId::List1)).height / 2 + 8);
  pump_for(150ms);
  EXPECT_TRUE(gtk_list_box_get_selected_row(GTK_LIST_BOX(w(ControlId::List1))));

  ASSERT_TRUE(window_->set_text1_visible(true));
  pump_for(150ms);
  EXPECT_TRUE(gtk_widget_is_visible(w(ControlId::Text1)));
  EXPECT_EQ(list1(), std::vector<std::string>{"kept"});
  EXPECT_TRUE(clicks_.empty());
}

// List1 lies under Text1 here, yet Tab reaches it, and its first line takes the focus.
TEST_F(MainWindowTest, TabMovesOnlyBetweenTheTwoViews) {
  ASSERT_EQ(focus(), w(ControlId::Text1)) << "the focus starts in the message view";
  for (const char* line : {"one", "two"}) ASSERT_TRUE(window_->add_list1_line(line));
  int x, y;
  centre_on_screen(w(ControlId::Text1), x, y);
  input_->move(x, y);  // with no window manager, keys go where the pointer is
  const ControlId want[] = {ControlId::List1, ControlId::Text1, ControlId::List1, ControlId::Text1};
  for (ControlId id : want) {
    input_->key("Tab");
    pump_for(100ms);
    EXPECT_TRUE(focus_in(id)) << ui::control_name(id);
  }
  input_->key("Tab", /*shift=*/true);
  pump_for(100ms);
  EXPECT_EQ(focus(), GTK_WIDGET(gtk_list_box_get_row_at_index(GTK_LIST_BOX(w(ControlId::List1)), 0)));

  // With the message view hidden, Tab stays on the list.
  ASSERT_TRUE(window_->set_text1_visible(false));
  pump_for(100ms);
  input_->key("Tab");
  pump_for(100ms);
  EXPECT_TRUE(focus_in(ControlId::List1));
  // No key works a picture.
  for (const char* key : {"Return", "space", "Escape"}) input_->key(key);
  pump_for(100ms);
  EXPECT_TRUE(clicks_.empty());
}

TEST_F(MainWindowTest, AClickIsALeftPressAndReleaseOverTheSamePicture) {
  GtkWidget* image3 = w(ControlId::Image3);
  click_on(image3);
  EXPECT_EQ(clicks_, std::vector<ControlId>{ControlId::Image3});
  clicks_.clear();

  int x, y, x2, y2;
  centre_on_screen(image3, x, y);
  centre_on_screen(w(ControlId::Image2), x2, y2);
  // Pressed here, released elsewhere: the user changed their mind.
  input_->move(x, y);
  input_->button(1, true);
  input_->move(x2, y2);
  input_->button(1, false);
  // Pressed outside, released over a picture.
  input_->move(x - 80, y - 80);
  input_->button(1, true);
  input_->move(x, y);
  input_->button(1, false);
  // Other buttons.
  input_->click(x, y, 3);
  input_->click(x, y, 2);
  // The captions and the panel have no handler.
  for (const ui::Control& control : ui::kControls)
    if (control.type == ui::ControlType::Label || control.type == ui::ControlType::Frame)
      click_on(w(control.id, control.index));
  pump_for(150ms);
  EXPECT_TRUE(clicks_.empty());

  for (ControlId id : {ControlId::Image1, ControlId::Image2, ControlId::Image4, ControlId::Image4}) click_on(w(id));
  EXPECT_EQ(clicks_, (std::vector<ControlId>{ControlId::Image1, ControlId::Image2, ControlId::Image4, ControlId::Image4}));
}

// ---------------------------------------------------------------- what a screen reader reads

// A type's class is made with its first instance, so this holds only in a process of its own, as
// ctest runs each test.
TEST_F(MainWindowTest, NothingForAScreenReaderIsMadeUntilOneAsks) {
  if (g_type_class_peek(gtk::line_list_accessible_type()) && ::testing::UnitTest::GetInstance()->test_to_run_count() > 1)
    GTEST_SKIP() << "an earlier test in this process asked";
  pump_for(100ms);
  // Text1's comes with the focus, as any focused view's does.
  EXPECT_EQ(g_type_class_peek(gtk::picture_button_accessible_type()), nullptr);
  EXPECT_EQ(g_type_class_peek(gtk::line_list_accessible_type()), nullptr);
  AtkObject* list = gtk_widget_get_accessible(w(ControlId::List1));
  EXPECT_TRUE(G_TYPE_CHECK_INSTANCE_TYPE(list, gtk::line_list_accessible_type()));
  EXPECT_EQ(atk_object_get_role(list), ATK_ROLE_LIST_BOX);
}

// A reader that comes while a line is selected still hears that line let go.
TEST_F(MainWindowTest, List1sLinesTellAReaderWhenTheSelectionMoves) {
  for (const char* line : {"one", "two"}) ASSERT_TRUE(window_->add_list1_line(line));
  GtkListBox* list = GTK_LIST_BOX(w(ControlId::List1));
  gtk_list_box_select_row(list, gtk_list_box_get_row_at_index(list, 0));
  gtk_widget_get_accessible(GTK_WIDGET(list));
  std::vector<std::string> heard;
  for (int i : {0, 1})
    g_signal_connect(gtk_widget_get_accessible(GTK_WIDGET(gtk_list_box_get_row_at_index(list, i))), "state-change::selected",
                     G_CALLBACK(+[](AtkObject* line, const char*, gboolean on, std::vector<std::string>* out) {
                       out->push_back(std::to_string(atk_object_get_index_in_parent(line)) + (on ? " on" : " off"));
                     }), &heard);
  gtk_list_box_select_row(list, gtk_list_box_get_row_at_index(list, 1));
  EXPECT_EQ(heard, (std::vector<std::string>{"0 off", "1 on"}));
}

TEST_F(MainWindowTest, AReadersPressIsAClickFromTheMainLoop) {
  AtkAction* close = ATK_ACTION(gtk_widget_get_accessible(w(ControlId::Image1)));
  AtkAction* info = ATK_ACTION(gtk_widget_get_accessible(w(ControlId::Image3)));
  EXPECT_FALSE(atk_action_do_action(info, 1));

  EXPECT_TRUE(atk_action_do_action(info, 0));
  EXPECT_TRUE(atk_action_do_action(close, 0));
  EXPECT_TRUE(clicks_.empty()) << "not inside the reader's call";
  pump_for(100ms);
  EXPECT_EQ(clicks_, (std::vector<ControlId>{ControlId::Image3, ControlId::Image1}));

  // A press still queued when the window goes does nothing.
  clicks_.clear();
  EXPECT_TRUE(atk_action_do_action(info, 0));
  window_.reset();
  pump_for(100ms);
  EXPECT_TRUE(clicks_.empty());
}

std::vector<std::uint8_t> committed(std::string_view file) {
  std::ifstream in(std::string(OSTRAEL_ASSETS_DIR) + "/" + std::string(file), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What gdk-pixbuf's loaders make of the bytes, the file type found by themselves.
gtk::GObjectPtr<GdkPixbuf> loaders_decode(const std::vector<std::uint8_t>& bytes) {
  g_autoptr(GdkPixbufLoader) loader = gdk_pixbuf_loader_new();
  EXPECT_TRUE(gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr));
  EXPECT_TRUE(gdk_pixbuf_loader_close(loader, nullptr));
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
  return gtk::GObjectPtr<GdkPixbuf>(pixbuf ? GDK_PIXBUF(g_object_ref(pixbuf)) : nullptr);
}

void expect_same_pixels(GdkPixbuf* want, GdkPixbuf* got, const std::string& what) {
  ASSERT_TRUE(want) << what;
  ASSERT_TRUE(got) << what;
  ASSERT_EQ(gdk_pixbuf_get_width(got), gdk_pixbuf_get_width(want)) << what;
  ASSERT_EQ(gdk_pixbuf_get_height(got), gdk_pixbuf_get_height(want)) << what;
  ASSERT_EQ(gdk_pixbuf_get_n_channels(got), gdk_pixbuf_get_n_channels(want)) << what;
  ASSERT_EQ(gdk_pixbuf_get_has_alpha(got), gdk_pixbuf_get_has_alpha(want)) << what;
  const std::size_t row = static_cast<std::size_t>(gdk_pixbuf_get_width(want)) * gdk_pixbuf_get_n_channels(want);
  for (int y = 0; y < gdk_pixbuf_get_height(want); ++y) {
    const guint8* a = gdk_pixbuf_read_pixels(want) + static_cast<std::size_t>(y) * gdk_pixbuf_get_rowstride(want);
    const guint8* b = gdk_pixbuf_read_pixels(got) + static_cast<std::size_t>(y) * gdk_pixbuf_get_rowstride(got);
    ASSERT_TRUE(std::equal(a, a + row, b)) << what << ", row " << y;
  }
}

// The loader shows only its pick of an icon or cursor file, so each image is put first in a copy.
std::vector<std::uint8_t> with_image_first(const std::vector<std::uint8_t>& file, std::size_t entry) {
  std::vector<std::uint8_t> first = file;
  first[4] = 1;
  first[5] = 0;
  std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(entry), 16, first.begin() + 6);
  return first;
}

// The pixels built into the program are those the loaders decode from the committed files.
TEST(Pictures, BuiltInPixelsAreTheCommittedFilesDecoded) {
  // Each picture at each whole scale, laid on the grey, as the loaders decode it on the grey.
  for (const ui::Control& control : ui::kControls)
    for (int scale : {1, 2, 3}) {
      if (control.type != ui::ControlType::Image) continue;
      const std::string file = ui::asset_file(control.picture, ui::picture_size(control, ui::kDesignDpi * scale).drawn);
      SCOPED_TRACE(file);
      auto built = gtk::load_picture(control, scale);
      ASSERT_TRUE(built) << built.failure().text;
      auto decoded = loaders_decode(committed(file));
      ASSERT_TRUE(decoded && gdk_pixbuf_get_n_channels(decoded.get()) == 4);
      const int width = gdk_pixbuf_get_width(decoded.get());
      ASSERT_EQ(cairo_image_surface_get_width(built->get()), width);
      const std::vector<std::uint32_t> on_grey = ui::laid_on(gtk::picture_of(built->get()), ui::kMatte).pixels;
      std::size_t wrong = 0;
      for (int i = 0; i < width * width; ++i) {
        const guint8* p = gdk_pixbuf_read_pixels(decoded.get()) + static_cast<std::size_t>(i / width) * gdk_pixbuf_get_rowstride(decoded.get()) + 4 * (i % width);
        const std::uint32_t want = p[3] ? 0xFF000000u | p[0] << 16 | p[1] << 8 | p[2] : 0xFF000000u | ui::kMatte;
        wrong += on_grey[static_cast<std::size_t>(i)] != want;
      }
      EXPECT_EQ(wrong, 0u);
    }

  // The hand at each size a whole-number scale draws it from, with that image's own hot spot.
  const std::vector<std::uint8_t> cur = committed(ui::kCursorFile);
  for (int scale : {1, 2, 3}) {
    const int size = ui::drawn_size_for(ui::kCursorSizes.front() * scale, ui::kCursorSizes);
    SCOPED_TRACE("hand at " + std::to_string(size));
    auto hand = gtk::hand_cursor_picture(size);
    ASSERT_TRUE(hand) << hand.failure().text;
    std::size_t entry = 6;
    while (entry + 16 <= cur.size() && cur[entry] != size) entry += 16;
    ASSERT_LE(entry + 16, cur.size()) << "not in the file";
    auto decoded = loaders_decode(with_image_first(cur, entry));
    expect_same_pixels(decoded.get(), hand->picture.get(), "hand");
    EXPECT_STREQ(gdk_pixbuf_get_option(decoded.get(), "x_hot"), std::to_string(hand->hot.x).c_str());
    EXPECT_STREQ(gdk_pixbuf_get_option(decoded.get(), "y_hot"), std::to_string(hand->hot.y).c_str());
  }

  const std::vector<std::uint8_t> ico = committed(ui::kIconFile);
  ASSERT_GE(ico.size(), 6u);
  std::map<int, std::size_t> deepest;  // width -> directory entry
  for (std::size_t i = 0, count = ico[4] | ico[5] << 8; i < count; ++i) {
    const std::size_t entry = 6 + 16 * i;
    ASSERT_LE(entry + 16, ico.size());
    const int width = ico[entry] ? ico[entry] : 256;
    auto [it, fresh] = deepest.try_emplace(width, entry);
    if (!fresh && ico[entry + 6] > ico[it->second + 6]) it->second = entry;
  }
  auto icons = gtk::load_window_icons();
  ASSERT_TRUE(icons);
  ASSERT_EQ(icons->size(), deepest.size());
  std::size_t i = 0;
  for (auto [width, entry] : deepest)
    expect_same_pixels(loaders_decode(with_image_first(ico, entry)).get(), (*icons)[i++].get(), "icon " + std::to_string(width));
}

// The directory is read only as far as the file goes.
TEST(Pictures, ACursorFileCutShortIsRefused) {
  std::vector<std::uint8_t> cur = committed(ui::kCursorFile);
  ASSERT_TRUE(gtk::cursor_images(cur));
  EXPECT_FALSE(gtk::cursor_images(std::span(cur).first(6 + 16 * 3)));  // in the directory
  EXPECT_FALSE(gtk::cursor_images(std::span(cur).first(cur.size() - 1)));  // in the last image
  cur[2] = 1;  // an icon file's type
  EXPECT_FALSE(gtk::cursor_images(cur));
}

}  // namespace
}  // namespace ostrael::testing
