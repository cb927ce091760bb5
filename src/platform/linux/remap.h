// Moves the program's own pages off the drive it was started from, so that pulling it out later cannot fault them.
#pragma once

#include "platform/result.h"

namespace ostrael::linux_ {

// Copies the file-backed pages of every loadable segment of the main program (code, read-only
// data, RELRO, data) into anonymous memory in place, with the same protection; shared libraries
// stay as they are. Call before any other thread starts.
//
// The pages go piece by piece, and the first failure stops the move: the pieces before it stay in
// memory, those after it on the file, and RELRO is never writable. The failing piece stays on the
// file, and the program runs on, when making the copy fails, or when the kernel refuses the mremap
// up front (bad arguments; since Linux 5.1, too many mappings). But with MREMAP_FIXED the kernel
// unmaps the target before it moves the copy there, and a move that fails after that (the kernel
// short of memory; before 5.1, too many mappings) leaves nothing at the piece's addresses:
// the program dies of SIGSEGV at its next touch of them, as a rule before the failure is returned.
Status remap_program_into_memory();

}  // namespace ostrael::linux_
