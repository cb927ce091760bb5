// Asks the desktop to show a folder: org.freedesktop.FileManager1.ShowFolders, and when no file
// manager answers, GIO's default handler for the folder's URI. The path only ever travels as a
// URI inside a D-Bus message or a GIO call, never through a shell or a command line of ours.
#include "platform/gtk/shell.h"

#include <gio/gio.h>

#include <string>

#include "platform/gtk/gobject_ptr.h"

namespace ostrael::gtk {

namespace {

constexpr const char* kFileManagerName = "org.freedesktop.FileManager1";
constexpr const char* kFileManagerPath = "/org/freedesktop/FileManager1";

void open_with_default_handler(const char* uri) {
  g_autoptr(GError) error = nullptr;
  // As with the Windows shell, a folder the desktop cannot open is its answer, not our failure.
  (void)g_app_info_launch_default_for_uri(uri, nullptr, &error);
}

void on_shown(GObject* source, GAsyncResult* result, gpointer data) {
  g_autofree char* uri = static_cast<char*>(data);
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (!reply) open_with_default_handler(uri);
}

void on_bus(GObject*, GAsyncResult* result, gpointer data) {
  g_autofree char* uri = static_cast<char*>(data);
  g_autoptr(GError) error = nullptr;
  g_autoptr(GDBusConnection) bus = g_bus_get_finish(result, &error);
  if (!bus) {
    open_with_default_handler(uri);
    return;
  }
  const char* uris[] = {uri, nullptr};
  g_dbus_connection_call(bus, kFileManagerName, kFileManagerPath, kFileManagerName, "ShowFolders",
                         g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                         on_shown, g_steal_pointer(&uri));
}

}  // namespace

Status Shell::open_folder(std::string_view directory) {
  g_autoptr(GError) error = nullptr;
  std::string text(directory);
  g_autofree char* filename = g_filename_from_utf8(text.c_str(), -1, nullptr, nullptr, &error);
  if (!filename) return gerror_failure("g_filename_from_utf8", error);
  g_autofree char* uri = g_filename_to_uri(filename, nullptr, &error);
  if (!uri) return gerror_failure("g_filename_to_uri", error);
  g_bus_get(G_BUS_TYPE_SESSION, nullptr, on_bus, g_steal_pointer(&uri));
  return {};
}

}  // namespace ostrael::gtk
