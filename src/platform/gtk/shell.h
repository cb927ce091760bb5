// Open Pen on Linux: the desktop's file manager over D-Bus, else GIO's default handler.
#pragma once

#include "platform/platform.h"

namespace ostrael::gtk {

class Shell final : public ostrael::Shell {
 public:
  // Sends the request and returns; the desktop answers on the main loop. Only a directory
  // that cannot become a file:// URI is a failure.
  Status open_folder(std::string_view directory) override;
};

}  // namespace ostrael::gtk
