// Moves the program's own pages off the drive it was started from, so that pulling it out later cannot fault them.
#pragma once

#include "platform/result.h"

namespace ostrael::linux_ {

// Copies the file-backed pages of every loadable segment of the main program (code, read-only
// data, RELRO, data) into anonymous memory in place, with the same protection; shared libraries
// stay as they are. Call before any other thread starts. On failure the pages not yet moved stay
// file-backed and the program runs on as before.
Status remap_program_into_memory();

}  // namespace ostrael::linux_
