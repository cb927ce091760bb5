// The main window in GTK 3: a GtkFixed client area at the description's pixel positions, Frame1
// as a GtkOverlay so Text1 can lie over List1, pictures as event boxes showing the art drawn for
// the window's scale factor over whatever background the theme paints. Leaves out the form's colour value, which nothing draws in, and
// resolutions other than the design's times that whole-number factor.
#include "platform/gtk/main_window.h"

#include <algorithm>
#include <cassert>
#include <string>
#include <tuple>

#include "platform/gtk/accessible.h"
#include "platform/gtk/pictures.h"

namespace ostrael::gtk {

namespace {

// Tahoma is rarely on a Linux desktop; these have near enough metrics for the captions to fit.
constexpr std::string_view kFallbackFaces = ",DejaVu Sans,Liberation Sans,sans-serif";

// The font as label attributes; null for the toolkit's default control font.
PangoAttrList* font_attributes(const ui::Font& font) {
  if (font.face.empty()) return nullptr;
  PangoFontDescription* description = pango_font_description_new();
  std::string families = std::string(font.face) + std::string(kFallbackFaces);
  pango_font_description_set_family(description, families.c_str());
  pango_font_description_set_size(description, static_cast<gint>(font.points * PANGO_SCALE + 0.5));
  pango_font_description_set_weight(description, static_cast<PangoWeight>(font.weight));
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_font_desc_new(description));
  pango_font_description_free(description);
  return attributes;
}

// GtkTextView breaks only at LF; CRLF and a lone CR are breaks in a Windows edit box too.
std::string with_lf_breaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
  }
  return out;
}

// GTK refuses invalid UTF-8 outright; a bad byte should cost one character, not the whole text.
std::string valid_utf8(std::string_view text) {
  g_autofree char* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  return valid;
}

bool is_tab(guint keyval) { return keyval == GDK_KEY_Tab || keyval == GDK_KEY_ISO_Left_Tab || keyval == GDK_KEY_KP_Tab; }

// The widget itself or one inside it, as List1's lines are.
bool holds(GtkWidget* widget, GtkWidget* focus) { return focus && (focus == widget || gtk_widget_is_ancestor(focus, widget)); }

// List1 hands the focus to its selected line, or selects its first, as a list box does, and
// holds it itself while it has no lines.
void focus_into(GtkWidget* view) {
  if (!gtk_widget_child_focus(view, GTK_DIR_TAB_FORWARD)) gtk_widget_grab_focus(view);
}

}  // namespace

MainWindow::MainWindow(ClickHandler on_click, ReportHandler report)
    : on_click_(std::move(on_click)), report_(std::move(report)) {
  window_ = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  g_signal_connect(window_, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                     static_cast<MainWindow*>(self)->window_ = nullptr;
                   }), this);
  gtk_window_set_title(window_, std::string(ui::kForm.caption).c_str());
  gtk_window_set_resizable(window_, ui::kForm.resizable);
  gtk_window_set_position(window_, GTK_WIN_POS_CENTER);
  g_signal_connect(window_, "realize", G_CALLBACK(+[](GtkWidget* window, gpointer) {
                     int functions = GDK_FUNC_MOVE | GDK_FUNC_CLOSE;
                     if (ui::kForm.min_button) functions |= GDK_FUNC_MINIMIZE;
                     if (ui::kForm.max_button) functions |= GDK_FUNC_MAXIMIZE;
                     if (ui::kForm.resizable) functions |= GDK_FUNC_RESIZE;
                     gdk_window_set_functions(gtk_widget_get_window(window), static_cast<GdkWMFunction>(functions));
                   }), nullptr);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventKey* event, gpointer self) -> gboolean {
                     return static_cast<MainWindow*>(self)->on_key_press(*event);
                   }), this);

  if (auto icons = load_window_icons()) {
    GList* list = nullptr;
    for (auto& icon : *icons) list = g_list_append(list, icon.get());
    gtk_window_set_icon_list(window_, list);
    g_list_free(list);
  } else {
    report_(describe(icons.failure()));
  }
  // A read-only GtkTextView hides its caret unless this is on; the message view keeps one.
  g_object_set(gtk_widget_get_settings(GTK_WIDGET(window_)), "gtk-keynav-use-caret", TRUE, nullptr);

  client_ = gtk_fixed_new();
  gtk_widget_set_size_request(client_, ui::twips_to_pixels(ui::kForm.client_width_twips),
                              ui::twips_to_pixels(ui::kForm.client_height_twips));
  gtk_container_add(GTK_CONTAINER(window_), client_);

  items_.reserve(ui::kControls.size());
  for (const ui::Control& control : ui::kControls) {
    Item item{&control, build(control), nullptr};
    item.placed = item.widget;
    while (GtkWidget* parent = gtk_widget_get_parent(item.placed)) item.placed = parent;
    items_.push_back(item);
  }
  // Each caption labels its picture for a screen reader. Without an underline in its text the
  // label gives the picture no access key.
  for (const Item& picture : items_)
    if (picture.control->type == ui::ControlType::Image)
      gtk_label_set_mnemonic_widget(GTK_LABEL(widget(ui::ControlId::Label1, picture.control->caption_index)), picture.widget);
  // A screen reader meets the client area's controls in the order they go in, so they go in
  // reading order, top to bottom and left to right. None overlap, so no pixel changes.
  std::vector<Item*> loose;
  for (Item& item : items_)
    if (!item.control->container) loose.push_back(&item);
  std::stable_sort(loose.begin(), loose.end(), [](const Item* a, const Item* b) {
    ui::Rect ra = ui::client_pixels(*a->control), rb = ui::client_pixels(*b->control);
    return std::tie(ra.top, ra.left) < std::tie(rb.top, rb.left);
  });
  for (Item* item : loose) place(*item);
  // Later overlays draw on top, and the description lists the panel's views top first.
  for (auto it = items_.rbegin(); it != items_.rend(); ++it)
    if (it->control->container) place(*it);
  gtk_widget_show_all(client_);
  // Text1 starts on top, so List1 starts off screen to a reader; see set_text1_visible.
  gtk_widget_set_child_visible(widget(ui::ControlId::List1), FALSE);

  show_scale(gtk_widget_get_scale_factor(GTK_WIDGET(window_)));
  // A window moved to a monitor of another scale gets the art drawn for that scale.
  g_signal_connect(window_, "notify::scale-factor", G_CALLBACK(+[](GtkWidget* window, GParamSpec*, gpointer self) {
                     static_cast<MainWindow*>(self)->show_scale(gtk_widget_get_scale_factor(window));
                   }), this);
}

MainWindow::~MainWindow() {
  cancel_text1_rest();
  if (window_) gtk_widget_destroy(GTK_WIDGET(window_));
}

GtkWidget* MainWindow::build(const ui::Control& control) {
  switch (control.type) {
    case ui::ControlType::Frame: {
      GtkWidget* overlay = gtk_overlay_new();
      GtkWidget* frame = gtk_frame_new(control.text.empty() ? nullptr : std::string(control.text).c_str());
      gtk_container_add(GTK_CONTAINER(overlay), frame);
      return frame;
    }
    case ui::ControlType::TextBox: return build_text1(control);
    case ui::ControlType::ListBox: return build_list1(control);
    case ui::ControlType::Image: return build_picture(control);
    case ui::ControlType::Label: return build_caption(control);
  }
  assert(false);
  return nullptr;
}

GtkWidget* MainWindow::build_text1(const ui::Control& control) {
  GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_ALWAYS);
  gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroller), FALSE);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
  GtkWidget* view = message_view_new(ui::accessible_name(control));
  GtkTextView* text = GTK_TEXT_VIEW(view);
  gtk_text_view_set_editable(text, FALSE);
  gtk_text_view_set_wrap_mode(text, GTK_WRAP_WORD_CHAR);
  gtk_text_view_set_cursor_visible(text, TRUE);
  gtk_text_view_set_accepts_tab(text, FALSE);
  text1_buffer_ = gtk_text_view_get_buffer(text);
  gtk_container_add(GTK_CONTAINER(scroller), view);
  gtk_widget_set_can_focus(scroller, FALSE);
  return view;
}

GtkWidget* MainWindow::build_list1(const ui::Control& control) {
  GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
  // EXTERNAL: a long line is cut off, as in a list box, instead of widening the window.
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_EXTERNAL, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroller), FALSE);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
  GtkWidget* list = line_list_new(ui::accessible_name(control));
  // With the focus on the list itself, as after its lines were replaced, an arrow key selects the
  // first line; GTK's own would look for a line to move from.
  gtk_widget_set_can_focus(list, TRUE);
  g_signal_connect(list, "move-cursor", G_CALLBACK(+[](GtkWidget* self, GtkMovementStep, gint, gpointer) {
                     if (!gtk_widget_has_focus(self)) return;
                     focus_into(self);
                     g_signal_stop_emission_by_name(self, "move-cursor");
                   }), nullptr);
  list1_font_.reset(font_attributes(control.font));
  // Lines as tall as their text and 4 px in from either side, as in a list box: the theme's
  // padding would show seven of the ten report lines.
  const std::string name(ui::control_name(control.id));
  gtk_widget_set_name(list, name.c_str());
  // For the whole screen, as a provider on the list's own style context does not reach its
  // lines; once, as every window's list has the same name.
  GdkScreen* screen = gtk_widget_get_screen(list);
  static const char kLinePadding[] = "ostrael-line-padding";
  if (!g_object_get_data(G_OBJECT(screen), kLinePadding)) {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, ("#" + name + " row { padding: 0 4px; }").c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_set_data_full(G_OBJECT(screen), kLinePadding, css, g_object_unref);
  }
  // A line chosen with the mouse shows no keyboard focus until a key is pressed, as a list box's;
  // a press below the lines takes the focus to the list as a press on a line does.
  g_signal_connect(list, "button-press-event", G_CALLBACK(+[](GtkWidget* self, GdkEventButton* event, gpointer) -> gboolean {
                     gtk_window_set_focus_visible(GTK_WINDOW(gtk_widget_get_toplevel(self)), FALSE);
                     if (!gtk_list_box_get_row_at_y(GTK_LIST_BOX(self), static_cast<gint>(event->y))) focus_into(self);
                     return FALSE;
                   }), nullptr);
  // The window outlives the list.
  g_signal_connect_object(window_, "notify::focus-visible", G_CALLBACK(gtk_widget_queue_draw), list, G_CONNECT_SWAPPED);
  gtk_container_add(GTK_CONTAINER(scroller), list);
  // The viewport shows in the strip below Text1 while the list is unmapped (set_text1_visible),
  // so it paints the list's background there.
  gtk_style_context_add_class(gtk_widget_get_style_context(gtk_widget_get_parent(list)), GTK_STYLE_CLASS_VIEW);
  gtk_widget_set_can_focus(scroller, FALSE);
  return list;
}

GtkWidget* MainWindow::build_picture(const ui::Control& control) {
  GtkWidget* box = picture_button_new(ui::accessible_name(control));
  // The picture itself comes with the window's scale; see show_scale.
  gtk_container_add(GTK_CONTAINER(box), gtk_image_new());
  if (!control.tooltip.empty()) gtk_widget_set_tooltip_text(box, std::string(control.tooltip).c_str());
  gtk_widget_add_events(box, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
  // A mouse click and a screen reader's press both arrive here.
  g_signal_connect(box, "clicked", G_CALLBACK(+[](GtkWidget* w, gpointer self) {
                     static_cast<MainWindow*>(self)->on_picture_click(w);
                   }), this);
  g_signal_connect(box, "button-press-event", G_CALLBACK(+[](GtkWidget* w, GdkEventButton* event, gpointer self) -> gboolean {
                     static_cast<MainWindow*>(self)->on_picture_press(w, *event);
                     return TRUE;
                   }), this);
  g_signal_connect(box, "button-release-event", G_CALLBACK(+[](GtkWidget* w, GdkEventButton* event, gpointer self) -> gboolean {
                     static_cast<MainWindow*>(self)->on_picture_release(w, *event);
                     return TRUE;
                   }), this);
  if (control.hand_cursor)
    g_signal_connect(box, "realize", G_CALLBACK(+[](GtkWidget* w, gpointer self) {
                       if (GdkCursor* hand = static_cast<MainWindow*>(self)->hand_.get())
                         gdk_window_set_cursor(gtk_widget_get_window(w), hand);
                     }), this);
  return box;
}

GtkWidget* MainWindow::build_caption(const ui::Control& control) {
  // An event box with its own window paints the caption's background: the labels are opaque.
  GtkWidget* box = gtk_event_box_new();
  GtkWidget* label = gtk_label_new(std::string(control.text).c_str());
  gtk_label_set_use_underline(GTK_LABEL(label), FALSE);
  gtk_label_set_single_line_mode(GTK_LABEL(label), TRUE);
  const bool centred = control.align == ui::Align::Centre;
  gtk_label_set_xalign(GTK_LABEL(label), centred ? 0.5f : 0.0f);
  gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_justify(GTK_LABEL(label), centred ? GTK_JUSTIFY_CENTER : GTK_JUSTIFY_LEFT);
  if (PangoAttrList* attributes = font_attributes(control.font)) {
    gtk_label_set_attributes(GTK_LABEL(label), attributes);
    pango_attr_list_unref(attributes);
  }
  gtk_container_add(GTK_CONTAINER(box), label);
  return label;
}

void MainWindow::place(Item& item) {
  const ui::Control& control = *item.control;
  ui::Rect at = ui::client_pixels(control);
  gtk_widget_set_size_request(item.placed, at.width, at.height);
  if (!control.container) {
    gtk_fixed_put(GTK_FIXED(client_), item.placed, at.left, at.top);
    return;
  }
  // Inside the panel, positions count from the frame's outer corner, as the overlay's do.
  const Item& container = find(*control.container);
  assert(container.control->type == ui::ControlType::Frame);
  ui::Rect origin = ui::client_pixels(*container.control);
  gtk_widget_set_halign(item.placed, GTK_ALIGN_START);
  gtk_widget_set_valign(item.placed, GTK_ALIGN_START);
  gtk_widget_set_margin_start(item.placed, at.left - origin.left);
  gtk_widget_set_margin_top(item.placed, at.top - origin.top);
  gtk_overlay_add_overlay(GTK_OVERLAY(container.placed), item.placed);
}

const MainWindow::Item& MainWindow::find(ui::ControlId id, int index) const { return items_[ui::control_index(id, index)]; }

GtkWidget* MainWindow::widget(ui::ControlId id, int index) const { return find(id, index).widget; }

void MainWindow::show_scale(int scale) {
  if (scale == scale_) return;
  scale_ = scale;
  for (const Item& item : items_) {
    if (item.control->type != ui::ControlType::Image) continue;
    GtkImage* image = GTK_IMAGE(gtk_bin_get_child(GTK_BIN(item.widget)));
    if (auto picture = load_picture(*item.control, scale))
      gtk_image_set_from_surface(image, picture->get());
    else
      report_(describe(picture.failure()));
  }
  if (auto hand = load_hand_cursor(gtk_widget_get_display(GTK_WIDGET(window_)), scale))
    hand_ = std::move(*hand);
  else
    report_(describe(hand.failure()));
  for (const Item& item : items_)
    if (item.control->hand_cursor && gtk_widget_get_realized(item.widget))
      gdk_window_set_cursor(gtk_widget_get_window(item.widget), hand_.get());
}

void MainWindow::show() {
  gtk_widget_grab_focus(widget(ui::focus_order().front()));
  gtk_widget_show(GTK_WIDGET(window_));
}

// Tab moves between the two views only, skipping one that is hidden but not List1 under Text1.
bool MainWindow::on_key_press(const GdkEventKey& event) {
  if (!is_tab(event.keyval) || (event.state & (GDK_CONTROL_MASK | GDK_MOD1_MASK))) return false;
  const bool backward = event.keyval == GDK_KEY_ISO_Left_Tab || (event.state & GDK_SHIFT_MASK);
  std::vector<GtkWidget*> stops;
  for (ui::ControlId id : ui::focus_order()) stops.push_back(widget(id));
  if (backward) std::reverse(stops.begin(), stops.end());
  GtkWidget* focus = gtk_window_get_focus(window_);
  auto current = std::find_if(stops.begin(), stops.end(), [focus](GtkWidget* stop) { return holds(stop, focus); });
  const std::size_t start = current == stops.end() ? stops.size() - 1 : static_cast<std::size_t>(current - stops.begin());
  for (std::size_t step = 1; step <= stops.size(); ++step) {
    GtkWidget* next = stops[(start + step) % stops.size()];
    if (gtk_widget_is_visible(next) && gtk_widget_is_sensitive(next)) {
      if (!holds(next, focus)) focus_into(next);
      break;
    }
  }
  return true;
}

void MainWindow::on_picture_press(GtkWidget* picture, const GdkEventButton& event) {
  if (event.type == GDK_BUTTON_PRESS && event.button == GDK_BUTTON_PRIMARY) pressed_ = picture;
}

void MainWindow::on_picture_release(GtkWidget* picture, const GdkEventButton& event) {
  if (event.button != GDK_BUTTON_PRIMARY) return;
  const bool same = pressed_ == picture;
  pressed_ = nullptr;
  // The press grabbed the pointer, so the release comes here even when it happens elsewhere.
  GtkAllocation box;
  gtk_widget_get_allocation(picture, &box);
  const bool inside = event.x >= 0 && event.y >= 0 && event.x < box.width && event.y < box.height;
  if (same && inside) g_signal_emit_by_name(picture, "clicked");
}

void MainWindow::on_picture_click(GtkWidget* picture) {
  for (const Item& item : items_)
    if (item.widget == picture) on_click_(item.control->id);
}

namespace {

// Laying out a megabyte in the text view costs more than the rest of start-up, so only a first
// piece, more than the view can show, goes in before the first paint. The rest follows in one
// go: every insertion lays out its whole paragraph again, which for a long line without breaks
// makes many small pieces far slower than one.
constexpr std::size_t kFirstPiece = 8 * 1024;

// Where the first piece of valid UTF-8 ends: after a line break if one is near, never inside a
// character.
std::size_t first_piece_end(std::string_view text) {
  if (kFirstPiece >= text.size()) return text.size();
  std::size_t line = text.rfind('\n', kFirstPiece - 1);
  if (line != std::string_view::npos && line + 1 > kFirstPiece / 2) return line + 1;
  std::size_t end = kFirstPiece;
  while ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

}  // namespace

Status MainWindow::set_text1_text(std::string_view text) {
  cancel_text1_rest();
  std::string shown = with_lf_breaks(valid_utf8(text));
  std::size_t first = first_piece_end(shown);
  gtk_text_buffer_set_text(text1_buffer_, shown.data(), static_cast<gint>(first));
  GtkTextIter start;
  gtk_text_buffer_get_start_iter(text1_buffer_, &start);
  gtk_text_buffer_place_cursor(text1_buffer_, &start);
  if (first < shown.size()) {
    text1_rest_ = shown.substr(first);
    // Below the priority of drawing, so the window paints first.
    text1_source_ = g_idle_add_full(G_PRIORITY_LOW, append_text1_rest, this, nullptr);
  }
  return {};
}

gboolean MainWindow::append_text1_rest(gpointer data) {
  auto* self = static_cast<MainWindow*>(data);
  // Appending at the end moves neither the caret nor a selection, so the view stays put.
  GtkTextIter end;
  gtk_text_buffer_get_end_iter(self->text1_buffer_, &end);
  gtk_text_buffer_insert(self->text1_buffer_, &end, self->text1_rest_.data(),
                         static_cast<gint>(self->text1_rest_.size()));
  self->text1_source_ = 0;
  std::string().swap(self->text1_rest_);
  return G_SOURCE_REMOVE;
}

void MainWindow::cancel_text1_rest() {
  if (text1_source_) g_source_remove(text1_source_);
  text1_source_ = 0;
  std::string().swap(text1_rest_);
}

Status MainWindow::set_text1_visible(bool visible) {
  GtkWidget* text1 = widget(ui::ControlId::Text1);
  GtkWidget* list1 = widget(ui::ControlId::List1);
  // Hiding or covering the view that has the focus leaves the window with none; it goes to the
  // view in front instead. This sets only the window's own focus: one in the background stays so.
  GtkWidget* focus = gtk_window_get_focus(window_);
  const bool to_list1 = !visible && holds(text1, focus), to_text1 = visible && holds(list1, focus);
  gtk_widget_set_visible(find(ui::ControlId::Text1).placed, visible);
  // Under Text1 the list is off screen to a reader too, yet still visible, so Tab reaches it.
  gtk_widget_set_child_visible(list1, !visible);
  if (to_list1) focus_into(list1);
  if (to_text1) gtk_widget_grab_focus(text1);
  return {};
}

Status MainWindow::clear_list1() {
  GtkWidget* list = widget(ui::ControlId::List1);
  // The focus stays in the list when its lines go.
  if (holds(list, gtk_window_get_focus(window_))) gtk_widget_grab_focus(list);
  gtk_container_foreach(GTK_CONTAINER(list), [](GtkWidget* line, gpointer) { gtk_widget_destroy(line); }, nullptr);
  return {};
}

Status MainWindow::add_list1_line(std::string_view line) {
  GtkWidget* label = gtk_label_new(valid_utf8(line).c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_attributes(GTK_LABEL(label), list1_font_.get());
  gtk_widget_show(label);
  gtk_container_add(GTK_CONTAINER(widget(ui::ControlId::List1)), label);
  // A selectable line is styled as one that lights up under the pointer; a list box's do not.
  gtk_style_context_remove_class(gtk_widget_get_style_context(gtk_widget_get_parent(label)), "activatable");
  return {};
}

}  // namespace ostrael::gtk
