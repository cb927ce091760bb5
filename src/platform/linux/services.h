// The non-GUI half of the Linux backend in one place: the GTK program owns one Services and
// hands its parts to the form. Namespace linux_: "linux" is a predefined macro in GNU C++.
#pragma once

#include "platform/linux/application.h"
#include "platform/linux/drive_provider.h"
#include "platform/linux/file_input.h"
#include "platform/linux/text_conversions.h"

namespace ostrael::linux_ {

// Usage from the GTK side:
//   ostrael::linux_::Services services;
//   ostrael::Platform platform{services.application, controls, services.files,
//                              services.text, services.drives, shell};
// Each member is a plain class; derive from it to override one operation (end_program, say).
struct Services {
  Application application;
  FileInput files;
  TextConversions text;
  DriveProvider drives;
};

}  // namespace ostrael::linux_
