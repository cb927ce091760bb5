// What a screen reader meets in the GTK window: push buttons for the pictures, named views, List1
// as a list of its lines. GTK makes each accessible only when a reader first asks for it.
#include "platform/gtk/accessible.h"

#include <gtk/gtk-a11y.h>

#include <string>

namespace {

GQuark name_quark() { return g_quark_from_static_string("ostrael-accessible-name"); }

void set_name(GtkWidget* widget, std::string_view name) {
  g_object_set_qdata_full(G_OBJECT(widget), name_quark(), g_strndup(name.data(), name.size()), g_free);
}

// A name set on the accessible itself wins, as in GTK's own accessibles.
const char* stored_name(AtkObject* accessible, const char* own) {
  if (own) return own;
  GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
  return widget ? static_cast<const char*>(g_object_get_qdata(G_OBJECT(widget), name_quark())) : nullptr;
}

// ---------------------------------------------------------------- the pictures

struct OstraelPictureButton {
  GtkEventBox parent_instance;
};
struct OstraelPictureButtonClass {
  GtkEventBoxClass parent_class;
};

// GTK takes only a subtype of the event box's own accessible type, a container's.
struct OstraelPictureButtonAccessible {
  GtkContainerAccessible parent_instance;
};
struct OstraelPictureButtonAccessibleClass {
  GtkContainerAccessibleClass parent_class;
};

void picture_action_init(AtkActionIface* iface);

G_DEFINE_TYPE(OstraelPictureButton, ostrael_picture_button, GTK_TYPE_EVENT_BOX)
G_DEFINE_TYPE_WITH_CODE(OstraelPictureButtonAccessible, ostrael_picture_button_accessible, GTK_TYPE_CONTAINER_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, picture_action_init))

guint clicked_signal = 0;

void ostrael_picture_button_class_init(OstraelPictureButtonClass* klass) {
  clicked_signal = g_signal_new("clicked", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr, nullptr, nullptr,
                                G_TYPE_NONE, 0);
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), ostrael_picture_button_accessible_get_type());
}

void ostrael_picture_button_init(OstraelPictureButton*) {}

gboolean emit_clicked(gpointer data) {
  if (GObject* picture = static_cast<GObject*>(g_weak_ref_get(static_cast<GWeakRef*>(data)))) {
    if (!gtk_widget_in_destruction(GTK_WIDGET(picture))) g_signal_emit(picture, clicked_signal, 0);
    g_object_unref(picture);
  }
  return G_SOURCE_REMOVE;
}

// The reader's call returns at once and the click runs from the main loop, as a mouse click
// does: a slow handler never holds the reader, and presses run one at a time, in order.
void queue_click(GtkWidget* picture) {
  auto* target = g_new0(GWeakRef, 1);
  g_weak_ref_init(target, picture);
  g_idle_add_full(G_PRIORITY_DEFAULT, emit_clicked, target, [](gpointer data) {
    g_weak_ref_clear(static_cast<GWeakRef*>(data));
    g_free(data);
  });
}

void ostrael_picture_button_accessible_initialize(AtkObject* accessible, gpointer data) {
  ATK_OBJECT_CLASS(ostrael_picture_button_accessible_parent_class)->initialize(accessible, data);
  accessible->role = ATK_ROLE_PUSH_BUTTON;
}

// The caption under the picture, which is what a sighted finder reads.
const char* ostrael_picture_button_accessible_get_name(AtkObject* accessible) {
  if (const char* own = ATK_OBJECT_CLASS(ostrael_picture_button_accessible_parent_class)->get_name(accessible))
    return own;
  GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
  if (!widget) return nullptr;
  const char* name = nullptr;
  GList* labels = gtk_widget_list_mnemonic_labels(widget);
  for (GList* l = labels; l && !name; l = l->next)
    if (GTK_IS_LABEL(l->data)) name = gtk_label_get_text(GTK_LABEL(l->data));
  g_list_free(labels);
  return name;
}

void ostrael_picture_button_accessible_class_init(OstraelPictureButtonAccessibleClass* klass) {
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->initialize = ostrael_picture_button_accessible_initialize;
  atk->get_name = ostrael_picture_button_accessible_get_name;
  // The picture inside is the button's face, not a second thing to read.
  atk->get_n_children = [](AtkObject*) -> gint { return 0; };
  atk->ref_child = [](AtkObject*, gint) -> AtkObject* { return nullptr; };
}

void ostrael_picture_button_accessible_init(OstraelPictureButtonAccessible*) {}

constexpr char kClick[] = "click";

void picture_action_init(AtkActionIface* iface) {
  iface->do_action = [](AtkAction* action, gint i) -> gboolean {
    GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(action));
    if (i != 0 || !widget || !gtk_widget_is_sensitive(widget) || !gtk_widget_get_visible(widget)) return FALSE;
    queue_click(widget);
    return TRUE;
  };
  iface->get_n_actions = [](AtkAction*) -> gint { return 1; };
  iface->get_name = [](AtkAction*, gint i) -> const gchar* { return i == 0 ? kClick : nullptr; };
  iface->get_localized_name = [](AtkAction*, gint i) -> const gchar* { return i == 0 ? kClick : nullptr; };
  iface->get_description = [](AtkAction*, gint i) -> const gchar* { return i == 0 ? "" : nullptr; };
}

// ---------------------------------------------------------------- Text1

struct OstraelMessageView {
  GtkTextView parent_instance;
};
struct OstraelMessageViewClass {
  GtkTextViewClass parent_class;
};

struct OstraelMessageViewAccessible {
  GtkTextViewAccessible parent_instance;
};
struct OstraelMessageViewAccessibleClass {
  GtkTextViewAccessibleClass parent_class;
};

G_DEFINE_TYPE(OstraelMessageView, ostrael_message_view, GTK_TYPE_TEXT_VIEW)
G_DEFINE_TYPE(OstraelMessageViewAccessible, ostrael_message_view_accessible, GTK_TYPE_TEXT_VIEW_ACCESSIBLE)

void ostrael_message_view_class_init(OstraelMessageViewClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), ostrael_message_view_accessible_get_type());
}

void ostrael_message_view_init(OstraelMessageView*) {}

void ostrael_message_view_accessible_class_init(OstraelMessageViewAccessibleClass* klass) {
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->get_name = [](AtkObject* accessible) -> const gchar* {
    return stored_name(accessible, ATK_OBJECT_CLASS(ostrael_message_view_accessible_parent_class)->get_name(accessible));
  };
  // GTK says only that the view is not editable; a reader announces "read only" from this.
  atk->ref_state_set = [](AtkObject* accessible) -> AtkStateSet* {
    AtkStateSet* states = ATK_OBJECT_CLASS(ostrael_message_view_accessible_parent_class)->ref_state_set(accessible);
    GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
    if (states && widget && !gtk_text_view_get_editable(GTK_TEXT_VIEW(widget)))
      atk_state_set_add_state(states, ATK_STATE_READ_ONLY);
    return states;
  };
}

void ostrael_message_view_accessible_init(OstraelMessageViewAccessible*) {}

// ---------------------------------------------------------------- List1

// GTK's own accessible for a tree view is a table with a column header that has a "click"
// action, even with the headers hidden. This one is a list whose items are the rows. GTK takes
// only a subtype of its table as a tree view's accessible type, so the widget makes its
// accessible itself, on the first request, as GTK would.
struct OstraelLineListAccessible;

struct OstraelLine {
  AtkObject parent_instance;
  OstraelLineListAccessible* list;  // null once the row is gone
  gint index;
  char* text;
};
struct OstraelLineClass {
  AtkObjectClass parent_class;
};

struct OstraelLineList {
  GtkTreeView parent_instance;
};
struct OstraelLineListClass {
  GtkTreeViewClass parent_class;
};

struct OstraelLineListAccessible {
  GtkWidgetAccessible parent_instance;
  GPtrArray* lines;  // OstraelLine*, one reference each, in row order
};
struct OstraelLineListAccessibleClass {
  GtkWidgetAccessibleClass parent_class;
};

void line_component_init(AtkComponentIface* iface);
void line_list_selection_init(AtkSelectionIface* iface);

G_DEFINE_TYPE_WITH_CODE(OstraelLine, ostrael_line, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, line_component_init))
G_DEFINE_TYPE(OstraelLineList, ostrael_line_list, GTK_TYPE_TREE_VIEW)
G_DEFINE_TYPE_WITH_CODE(OstraelLineListAccessible, ostrael_line_list_accessible, GTK_TYPE_WIDGET_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_SELECTION, line_list_selection_init))

constexpr auto kNoFlags = static_cast<GConnectFlags>(0);

GtkTreeView* tree_of(OstraelLineListAccessible* list) {
  GtkWidget* widget = list ? gtk_accessible_get_widget(GTK_ACCESSIBLE(list)) : nullptr;
  return widget ? GTK_TREE_VIEW(widget) : nullptr;
}

GtkTreePath* path_of(gint index) { return gtk_tree_path_new_from_indices(index, -1); }

gint index_of(GtkTreePath* path) {
  return path && gtk_tree_path_get_depth(path) == 1 ? gtk_tree_path_get_indices(path)[0] : -1;
}

// ---- a line

void ostrael_line_init(OstraelLine* line) { line->index = -1; }

void ostrael_line_finalize(GObject* object) {
  g_free(reinterpret_cast<OstraelLine*>(object)->text);
  G_OBJECT_CLASS(ostrael_line_parent_class)->finalize(object);
}

OstraelLine* as_line(gpointer p) { return reinterpret_cast<OstraelLine*>(p); }

AtkStateSet* ostrael_line_ref_state_set(AtkObject* accessible) {
  OstraelLine* line = as_line(accessible);
  AtkStateSet* states = atk_state_set_new();
  GtkTreeView* tree = tree_of(line->list);
  if (!tree) {
    atk_state_set_add_state(states, ATK_STATE_DEFUNCT);
    return states;
  }
  GtkWidget* widget = GTK_WIDGET(tree);
  for (AtkStateType state : {ATK_STATE_SELECTABLE, ATK_STATE_FOCUSABLE, ATK_STATE_SINGLE_LINE})
    atk_state_set_add_state(states, state);
  if (gtk_widget_is_sensitive(widget)) {
    atk_state_set_add_state(states, ATK_STATE_ENABLED);
    atk_state_set_add_state(states, ATK_STATE_SENSITIVE);
  }
  if (gtk_widget_get_visible(widget)) {
    atk_state_set_add_state(states, ATK_STATE_VISIBLE);
    GtkTreePath* first = nullptr;
    GtkTreePath* last = nullptr;
    if (gtk_widget_get_mapped(widget) && gtk_tree_view_get_visible_range(tree, &first, &last) &&
        index_of(first) <= line->index && line->index <= index_of(last))
      atk_state_set_add_state(states, ATK_STATE_SHOWING);
    if (first) gtk_tree_path_free(first);
    if (last) gtk_tree_path_free(last);
  }
  GtkTreePath* path = path_of(line->index);
  if (gtk_tree_selection_path_is_selected(gtk_tree_view_get_selection(tree), path))
    atk_state_set_add_state(states, ATK_STATE_SELECTED);
  if (gtk_widget_has_focus(widget)) {
    GtkTreePath* cursor = nullptr;
    gtk_tree_view_get_cursor(tree, &cursor, nullptr);
    if (cursor && gtk_tree_path_compare(cursor, path) == 0) atk_state_set_add_state(states, ATK_STATE_FOCUSED);
    if (cursor) gtk_tree_path_free(cursor);
  }
  gtk_tree_path_free(path);
  return states;
}

void ostrael_line_class_init(OstraelLineClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = ostrael_line_finalize;
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->get_name = [](AtkObject* accessible) -> const gchar* { return as_line(accessible)->text; };
  atk->get_parent = [](AtkObject* accessible) -> AtkObject* {
    OstraelLine* line = as_line(accessible);
    return line->list ? ATK_OBJECT(line->list) : nullptr;
  };
  atk->get_index_in_parent = [](AtkObject* accessible) -> gint {
    OstraelLine* line = as_line(accessible);
    return line->list ? line->index : -1;
  };
  atk->ref_state_set = ostrael_line_ref_state_set;
}

// Where the row shows, cut to the list's visible part: a long line runs on past the list's edge,
// and a reader that clicks an item's middle must land inside the list.
void line_get_extents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height, AtkCoordType coords) {
  *x = *y = *width = *height = 0;
  OstraelLine* line = as_line(component);
  GtkTreeView* tree = tree_of(line->list);
  GdkWindow* bin = tree ? gtk_tree_view_get_bin_window(tree) : nullptr;
  if (!bin || !gtk_widget_is_drawable(GTK_WIDGET(tree))) return;
  GtkTreePath* path = path_of(line->index);
  GdkRectangle row, visible;
  gtk_tree_view_get_background_area(tree, path, gtk_tree_view_get_column(tree, 0), &row);
  gtk_tree_path_free(path);
  gtk_tree_view_get_visible_rect(tree, &visible);
  gtk_tree_view_convert_tree_to_bin_window_coords(tree, visible.x, visible.y, &visible.x, &visible.y);
  if (!gdk_rectangle_intersect(&row, &visible, &row)) return;
  gint origin_x = 0, origin_y = 0;
  gdk_window_get_origin(bin, &origin_x, &origin_y);
  *x = origin_x + row.x;
  *y = origin_y + row.y;
  *width = row.width;
  *height = row.height;
  if (coords == ATK_XY_WINDOW) {
    gdk_window_get_origin(gdk_window_get_toplevel(bin), &origin_x, &origin_y);
    *x -= origin_x;
    *y -= origin_y;
  } else if (coords == ATK_XY_PARENT) {
    atk_component_get_extents(ATK_COMPONENT(line->list), &origin_x, &origin_y, nullptr, nullptr, ATK_XY_SCREEN);
    *x -= origin_x;
    *y -= origin_y;
  }
}

void line_component_init(AtkComponentIface* iface) { iface->get_extents = line_get_extents; }

// ---- the list

OstraelLineListAccessible* as_list(gpointer p) { return reinterpret_cast<OstraelLineListAccessible*>(p); }

OstraelLine* line_at(OstraelLineListAccessible* list, gint index) {
  if (!list->lines || index < 0 || static_cast<guint>(index) >= list->lines->len) return nullptr;
  return as_line(g_ptr_array_index(list->lines, static_cast<guint>(index)));
}

void renumber_from(OstraelLineListAccessible* list, guint from) {
  for (guint i = from; i < list->lines->len; ++i) as_line(g_ptr_array_index(list->lines, i))->index = static_cast<gint>(i);
}

char* text_at(GtkTreeModel* model, GtkTreeIter* iter) {
  char* text = nullptr;
  gtk_tree_model_get(model, iter, 0, &text, -1);
  return text;
}

void add_line(OstraelLineListAccessible* list, GtkTreeModel* model, GtkTreePath* path, GtkTreeIter* iter) {
  gint index = index_of(path);
  if (index < 0 || static_cast<guint>(index) > list->lines->len) return;
  auto* line = as_line(g_object_new(ostrael_line_get_type(), nullptr));
  ATK_OBJECT(line)->role = ATK_ROLE_LIST_ITEM;
  line->list = list;
  line->text = text_at(model, iter);
  g_ptr_array_insert(list->lines, index, line);
  renumber_from(list, static_cast<guint>(index));
  g_signal_emit_by_name(list, "children-changed::add", index, line);
}

void remove_line(OstraelLineListAccessible* list, gint index) {
  OstraelLine* line = line_at(list, index);
  if (!line) return;
  g_ptr_array_remove_index(list->lines, static_cast<guint>(index));
  renumber_from(list, static_cast<guint>(index));
  g_signal_emit_by_name(list, "children-changed::remove", index, line);
  line->list = nullptr;
  atk_object_notify_state_change(ATK_OBJECT(line), ATK_STATE_DEFUNCT, TRUE);
  g_object_unref(line);
}

void remove_all_lines(OstraelLineListAccessible* list) {
  while (list->lines && list->lines->len) remove_line(list, static_cast<gint>(list->lines->len) - 1);
}

void on_row_inserted(GtkTreeModel* model, GtkTreePath* path, GtkTreeIter* iter, gpointer list) {
  add_line(as_list(list), model, path, iter);
}

void on_row_deleted(GtkTreeModel*, GtkTreePath* path, gpointer list) { remove_line(as_list(list), index_of(path)); }

void on_row_changed(GtkTreeModel* model, GtkTreePath* path, GtkTreeIter* iter, gpointer list) {
  if (OstraelLine* line = line_at(as_list(list), index_of(path))) {
    g_free(line->text);
    line->text = text_at(model, iter);
    g_object_notify(G_OBJECT(line), "accessible-name");
  }
}

void on_cursor_changed(GtkTreeView* tree, gpointer list) {
  if (!gtk_widget_has_focus(GTK_WIDGET(tree))) return;
  GtkTreePath* cursor = nullptr;
  gtk_tree_view_get_cursor(tree, &cursor, nullptr);
  if (OstraelLine* line = line_at(as_list(list), index_of(cursor)))
    g_signal_emit_by_name(list, "active-descendant-changed", line);
  if (cursor) gtk_tree_path_free(cursor);
}

void ostrael_line_list_accessible_initialize(AtkObject* accessible, gpointer data) {
  ATK_OBJECT_CLASS(ostrael_line_list_accessible_parent_class)->initialize(accessible, data);
  accessible->role = ATK_ROLE_LIST;
  OstraelLineListAccessible* list = as_list(accessible);
  list->lines = g_ptr_array_new();
  GtkTreeView* tree = GTK_TREE_VIEW(data);
  if (GtkTreeModel* model = gtk_tree_view_get_model(tree)) {
    GtkTreeIter iter;
    for (gboolean ok = gtk_tree_model_get_iter_first(model, &iter); ok; ok = gtk_tree_model_iter_next(model, &iter)) {
      GtkTreePath* path = path_of(static_cast<gint>(list->lines->len));
      add_line(list, model, path, &iter);
      gtk_tree_path_free(path);
    }
    // Connected to the accessible, so they go with whichever of the two goes first.
    g_signal_connect_object(model, "row-inserted", G_CALLBACK(on_row_inserted), list, kNoFlags);
    g_signal_connect_object(model, "row-deleted", G_CALLBACK(on_row_deleted), list, kNoFlags);
    g_signal_connect_object(model, "row-changed", G_CALLBACK(on_row_changed), list, kNoFlags);
  }
  g_signal_connect_object(gtk_tree_view_get_selection(tree), "changed",
                          G_CALLBACK(+[](GtkTreeSelection*, gpointer self) { g_signal_emit_by_name(self, "selection-changed"); }),
                          list, kNoFlags);
  g_signal_connect_object(tree, "cursor-changed", G_CALLBACK(on_cursor_changed), list, kNoFlags);
}

void ostrael_line_list_accessible_finalize(GObject* object) {
  OstraelLineListAccessible* list = as_list(object);
  for (guint i = 0; list->lines && i < list->lines->len; ++i) {
    OstraelLine* line = as_line(g_ptr_array_index(list->lines, i));
    line->list = nullptr;
    g_object_unref(line);
  }
  if (list->lines) g_ptr_array_unref(list->lines);
  G_OBJECT_CLASS(ostrael_line_list_accessible_parent_class)->finalize(object);
}

void ostrael_line_list_accessible_class_init(OstraelLineListAccessibleClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = ostrael_line_list_accessible_finalize;
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->initialize = ostrael_line_list_accessible_initialize;
  atk->get_name = [](AtkObject* accessible) -> const gchar* {
    return stored_name(accessible, ATK_OBJECT_CLASS(ostrael_line_list_accessible_parent_class)->get_name(accessible));
  };
  atk->get_n_children = [](AtkObject* accessible) -> gint {
    GPtrArray* lines = as_list(accessible)->lines;
    return lines ? static_cast<gint>(lines->len) : 0;
  };
  atk->ref_child = [](AtkObject* accessible, gint i) -> AtkObject* {
    OstraelLine* line = line_at(as_list(accessible), i);
    return line ? ATK_OBJECT(g_object_ref(line)) : nullptr;
  };
  // The rows go with the tree view: a reader holding one learns that it is gone.
  GTK_ACCESSIBLE_CLASS(klass)->widget_unset = [](GtkAccessible* accessible) {
    remove_all_lines(as_list(accessible));
    if (auto unset = GTK_ACCESSIBLE_CLASS(ostrael_line_list_accessible_parent_class)->widget_unset) unset(accessible);
  };
}

void ostrael_line_list_accessible_init(OstraelLineListAccessible*) {}

GQuark list_accessible_quark() { return g_quark_from_static_string("ostrael-line-list-accessible"); }

AtkObject* ostrael_line_list_get_accessible(GtkWidget* widget) {
  auto* accessible = static_cast<AtkObject*>(g_object_get_qdata(G_OBJECT(widget), list_accessible_quark()));
  if (!accessible) {
    accessible = ATK_OBJECT(g_object_new(ostrael_line_list_accessible_get_type(), "widget", widget, nullptr));
    atk_object_initialize(accessible, widget);
    g_object_set_qdata_full(G_OBJECT(widget), list_accessible_quark(), accessible, g_object_unref);
  }
  return accessible;
}

// The accessible stays with the widget until it is finalized: GTK's own handlers still ask for
// it while the tree view takes itself apart.
void ostrael_line_list_destroy(GtkWidget* widget) {
  if (gpointer accessible = g_object_get_qdata(G_OBJECT(widget), list_accessible_quark()))
    if (gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible))) gtk_accessible_set_widget(GTK_ACCESSIBLE(accessible), nullptr);
  GTK_WIDGET_CLASS(ostrael_line_list_parent_class)->destroy(widget);
}

void ostrael_line_list_class_init(OstraelLineListClass* klass) {
  GTK_WIDGET_CLASS(klass)->get_accessible = ostrael_line_list_get_accessible;
  GTK_WIDGET_CLASS(klass)->destroy = ostrael_line_list_destroy;
}

void ostrael_line_list_init(OstraelLineList*) {}

// One line at a time, as List1 selects; choosing a line moves the cursor to it, as the arrow keys do.
void line_list_selection_init(AtkSelectionIface* iface) {
  iface->add_selection = [](AtkSelection* selection, gint i) -> gboolean {
    OstraelLineListAccessible* list = as_list(selection);
    GtkTreeView* tree = tree_of(list);
    if (!tree || !line_at(list, i)) return FALSE;
    GtkTreePath* path = path_of(i);
    gtk_tree_view_set_cursor(tree, path, nullptr, FALSE);
    gtk_tree_path_free(path);
    return TRUE;
  };
  iface->clear_selection = [](AtkSelection* selection) -> gboolean {
    GtkTreeView* tree = tree_of(as_list(selection));
    if (!tree) return FALSE;
    gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(tree));
    return TRUE;
  };
  iface->ref_selection = [](AtkSelection* selection, gint i) -> AtkObject* {
    OstraelLineListAccessible* list = as_list(selection);
    GtkTreeView* tree = tree_of(list);
    GtkTreeIter iter;
    GtkTreeModel* model = nullptr;
    if (i != 0 || !tree || !gtk_tree_selection_get_selected(gtk_tree_view_get_selection(tree), &model, &iter))
      return nullptr;
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    OstraelLine* line = line_at(list, index_of(path));
    gtk_tree_path_free(path);
    return line ? ATK_OBJECT(g_object_ref(line)) : nullptr;
  };
  iface->get_selection_count = [](AtkSelection* selection) -> gint {
    GtkTreeView* tree = tree_of(as_list(selection));
    return tree ? gtk_tree_selection_count_selected_rows(gtk_tree_view_get_selection(tree)) : 0;
  };
  iface->is_child_selected = [](AtkSelection* selection, gint i) -> gboolean {
    OstraelLineListAccessible* list = as_list(selection);
    GtkTreeView* tree = tree_of(list);
    if (!tree || !line_at(list, i)) return FALSE;
    GtkTreePath* path = path_of(i);
    gboolean selected = gtk_tree_selection_path_is_selected(gtk_tree_view_get_selection(tree), path);
    gtk_tree_path_free(path);
    return selected;
  };
  iface->remove_selection = [](AtkSelection* selection, gint i) -> gboolean {
    GtkTreeView* tree = tree_of(as_list(selection));
    if (!tree || i != 0 || gtk_tree_selection_count_selected_rows(gtk_tree_view_get_selection(tree)) == 0) return FALSE;
    gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(tree));
    return TRUE;
  };
  iface->select_all_selection = [](AtkSelection*) -> gboolean { return FALSE; };
}

}  // namespace

namespace ostrael::gtk {

GtkWidget* picture_button_new() { return GTK_WIDGET(g_object_new(ostrael_picture_button_get_type(), nullptr)); }
GType picture_button_accessible_type() { return ostrael_picture_button_accessible_get_type(); }

GtkWidget* message_view_new(std::string_view name) {
  GtkWidget* view = GTK_WIDGET(g_object_new(ostrael_message_view_get_type(), nullptr));
  set_name(view, name);
  return view;
}
GType message_view_accessible_type() { return ostrael_message_view_accessible_get_type(); }

GtkWidget* line_list_new(GtkTreeModel* model, std::string_view name) {
  GtkWidget* list = GTK_WIDGET(g_object_new(ostrael_line_list_get_type(), "model", model, nullptr));
  set_name(list, name);
  return list;
}
GType line_list_accessible_type() { return ostrael_line_list_accessible_get_type(); }

}  // namespace ostrael::gtk
