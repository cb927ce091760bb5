// The form ostraelen as a GTK 3 window, built from the window description in src/ui.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gtk/gobject_ptr.h"
#include "platform/platform.h"
#include "ui/layout.h"

namespace ostrael::gtk {

class MainWindow final : public ostrael::Controls {
 public:
  // Called with Image1 to Image4 for a left press and release over the same picture.
  using ClickHandler = std::function<void(ui::ControlId)>;
  // Failures of the window's own set-up (a picture that will not load): one line each.
  using ReportHandler = std::function<void(std::string_view)>;

  MainWindow(ClickHandler on_click, ReportHandler report);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Centred, with the focus in Text1.
  void show();
  GtkWindow* window() const { return window_; }
  // The widget that stands for the control: for Text1 and List1 the view itself, for a
  // picture its event box, for a caption its label. `index` only for Label1.
  GtkWidget* widget(ui::ControlId id, int index = -1) const;

  Status set_text1_text(std::string_view text) override;
  Status set_text1_visible(bool visible) override;
  Status clear_list1() override;
  Status add_list1_line(std::string_view line) override;

 private:
  struct Item {
    const ui::Control* control;
    GtkWidget* widget;  // what the control is
    GtkWidget* placed;  // what sits in its container: a scroller, an event box
  };

  GtkWidget* build(const ui::Control& control);
  GtkWidget* build_text1(const ui::Control& control);
  GtkWidget* build_list1(const ui::Control& control);
  GtkWidget* build_picture(const ui::Control& control);
  GtkWidget* build_caption(const ui::Control& control);
  void place(Item& item);
  const Item& find(ui::ControlId id, int index = -1) const;
  // The pictures and the hand drawn for a window of scale factor `scale`.
  void show_scale(int scale);
  bool on_key_press(const GdkEventKey& event);
  void on_picture_press(GtkWidget* picture, const GdkEventButton& event);
  void on_picture_release(GtkWidget* picture, const GdkEventButton& event);
  void on_picture_click(GtkWidget* picture);

  // The end of a long message goes in once the window has painted; see set_text1_text.
  static gboolean append_text1_rest(gpointer self);
  void cancel_text1_rest();

  ClickHandler on_click_;
  ReportHandler report_;
  GtkWindow* window_ = nullptr;  // owned by GTK's toplevel list; destroyed in the destructor
  GtkWidget* client_ = nullptr;
  GtkTextBuffer* text1_buffer_ = nullptr;  // owned by Text1
  std::unique_ptr<PangoAttrList, decltype(&pango_attr_list_unref)> list1_font_{nullptr, pango_attr_list_unref};
  GObjectPtr<GdkCursor> hand_;
  int scale_ = 0;  // the scale the pictures and the hand are drawn for
  std::vector<Item> items_;
  GtkWidget* pressed_ = nullptr;  // the picture a left press went down on
  std::string text1_rest_;         // what is still to be appended to Text1
  guint text1_source_ = 0;         // the idle source appending it, or 0
};

}  // namespace ostrael::gtk
