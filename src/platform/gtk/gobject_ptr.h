// Owning pointers for GLib objects that outlive one function, and the failure value of a GError.
#pragma once

#include <glib-object.h>

#include <memory>
#include <string>

#include "platform/result.h"

namespace ostrael::gtk {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

inline Failure gerror_failure(std::string operation, const GError* error) {
  return Failure{std::move(operation), error ? error->code : 0, error ? error->message : "no reason given"};
}

}  // namespace ostrael::gtk
