// What a screen reader meets in the GTK window: push buttons for the pictures, named views, List1's
// lines telling when they are selected. GTK makes each accessible only when a reader first asks.
#include "platform/gtk/accessible.h"

#include <gtk/gtk-a11y.h>

#include <string>

namespace {

GQuark name_quark() { return g_quark_from_static_string("ostrael-accessible-name"); }

GtkWidget* named_widget(GType type, std::string_view name) {
  GtkWidget* widget = GTK_WIDGET(g_object_new(type, nullptr));
  g_object_set_qdata_full(G_OBJECT(widget), name_quark(), g_strndup(name.data(), name.size()), g_free);
  return widget;
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

void ostrael_picture_button_accessible_class_init(OstraelPictureButtonAccessibleClass* klass) {
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->initialize = ostrael_picture_button_accessible_initialize;
  atk->get_name = [](AtkObject* accessible) -> const gchar* {
    return stored_name(accessible, ATK_OBJECT_CLASS(ostrael_picture_button_accessible_parent_class)->get_name(accessible));
  };
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

// GTK's list box tells a reader that the selection changed and where the cursor went, but its
// lines never say that they stopped or started being selected, so a reader keeps the state it
// first read. This one says so for the line that was selected and for the one that now is.
struct OstraelLineList {
  GtkListBox parent_instance;
};
struct OstraelLineListClass {
  GtkListBoxClass parent_class;
};

struct OstraelLineListAccessible {
  GtkListBoxAccessible parent_instance;
  AtkObject* selected;  // the selected line's accessible, held; null when none is
};
struct OstraelLineListAccessibleClass {
  GtkListBoxAccessibleClass parent_class;
};

G_DEFINE_TYPE(OstraelLineList, ostrael_line_list, GTK_TYPE_LIST_BOX)
G_DEFINE_TYPE(OstraelLineListAccessible, ostrael_line_list_accessible, GTK_TYPE_LIST_BOX_ACCESSIBLE)

void ostrael_line_list_class_init(OstraelLineListClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), ostrael_line_list_accessible_get_type());
}

void ostrael_line_list_init(OstraelLineList*) {}

OstraelLineListAccessible* as_list(gpointer p) { return reinterpret_cast<OstraelLineListAccessible*>(p); }

void on_row_selected(GtkListBox*, GtkListBoxRow* row, gpointer accessible) {
  OstraelLineListAccessible* list = as_list(accessible);
  AtkObject* now = row ? gtk_widget_get_accessible(GTK_WIDGET(row)) : nullptr;
  if (now == list->selected) return;
  if (list->selected) {
    atk_object_notify_state_change(list->selected, ATK_STATE_SELECTED, FALSE);
    g_object_unref(list->selected);
  }
  list->selected = now ? ATK_OBJECT(g_object_ref(now)) : nullptr;
  if (now) atk_object_notify_state_change(now, ATK_STATE_SELECTED, TRUE);
}

void ostrael_line_list_accessible_initialize(AtkObject* accessible, gpointer widget) {
  ATK_OBJECT_CLASS(ostrael_line_list_accessible_parent_class)->initialize(accessible, widget);
  if (GtkListBoxRow* row = gtk_list_box_get_selected_row(GTK_LIST_BOX(widget)))
    as_list(accessible)->selected = ATK_OBJECT(g_object_ref(gtk_widget_get_accessible(GTK_WIDGET(row))));
  // Connected to the accessible, so it goes with whichever of the two goes first.
  g_signal_connect_object(widget, "row-selected", G_CALLBACK(on_row_selected), accessible, static_cast<GConnectFlags>(0));
}

void ostrael_line_list_accessible_class_init(OstraelLineListAccessibleClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = [](GObject* object) {
    g_clear_object(&as_list(object)->selected);
    G_OBJECT_CLASS(ostrael_line_list_accessible_parent_class)->finalize(object);
  };
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->initialize = ostrael_line_list_accessible_initialize;
  atk->get_name = [](AtkObject* accessible) -> const gchar* {
    return stored_name(accessible, ATK_OBJECT_CLASS(ostrael_line_list_accessible_parent_class)->get_name(accessible));
  };
}

void ostrael_line_list_accessible_init(OstraelLineListAccessible*) {}

}  // namespace

namespace ostrael::gtk {

GtkWidget* picture_button_new(std::string_view name) { return named_widget(ostrael_picture_button_get_type(), name); }
GType picture_button_accessible_type() { return ostrael_picture_button_accessible_get_type(); }

GtkWidget* message_view_new(std::string_view name) { return named_widget(ostrael_message_view_get_type(), name); }
GType message_view_accessible_type() { return ostrael_message_view_accessible_get_type(); }

GtkWidget* line_list_new(std::string_view name) { return named_widget(ostrael_line_list_get_type(), name); }
GType line_list_accessible_type() { return ostrael_line_list_accessible_get_type(); }

}  // namespace ostrael::gtk
