// Moves the main program's file-backed pages into anonymous memory in place: copy each segment
// aside, give the copy the protection the loader left and mremap it over the original.
#include "platform/linux/remap.h"

#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ostrael::linux_ {

namespace {

struct Range {
  std::uintptr_t start = 0;
  std::uintptr_t end = 0;
  int prot = PROT_NONE;
};

// The main program's file-backed pages and the protection the loader left on them, from its
// program headers, which is where the loader took them from. dl_iterate_phdr reports the main
// program first, also when the loader started it. Reading /proc/self/maps instead costs a
// millisecond once GTK's libraries are loaded.
struct Layout {
  std::vector<Range> segments;  // each PT_LOAD's pages up to the end of its file part
  Range relro;                  // made read-only by the loader after relocation; empty if none
};

int main_program_layout(dl_phdr_info* info, std::size_t, void* data) {
  auto* layout = static_cast<Layout*>(data);
  const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  auto down = [&](std::uintptr_t a) { return a & ~(page - 1); };
  auto up = [&](std::uintptr_t a) { return (a + page - 1) & ~(page - 1); };
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    std::uintptr_t start = info->dlpi_addr + header.p_vaddr;
    if (header.p_type == PT_LOAD && header.p_filesz > 0) {
      int prot = (header.p_flags & PF_R ? PROT_READ : 0) | (header.p_flags & PF_W ? PROT_WRITE : 0) |
                 (header.p_flags & PF_X ? PROT_EXEC : 0);
      // The bss past the file's last page is anonymous already.
      layout->segments.push_back({down(start), up(start + header.p_filesz), prot});
    } else if (header.p_type == PT_GNU_RELRO) {
      // The loader rounds both ends down.
      layout->relro = {down(start), down(start + header.p_memsz), PROT_READ};
    }
  }
  return 1;
}

// The segments cut where RELRO begins and ends, RELRO's pieces read-only: each copy gets the
// protection the loader left before it takes the original's place, so RELRO is never writable,
// also when a later move fails.
std::vector<Range> pieces_to_move(const Layout& layout) {
  std::vector<Range> out;
  const Range& relro = layout.relro;
  for (const Range& s : layout.segments) {
    std::uintptr_t in_start = std::max(s.start, relro.start), in_end = std::min(s.end, relro.end);
    if (in_start >= in_end) {
      out.push_back(s);
      continue;
    }
    if (s.start < in_start) out.push_back({s.start, in_start, s.prot});
    out.push_back({in_start, in_end, PROT_READ});
    if (in_end < s.end) out.push_back({in_end, s.end, s.prot});
  }
  return out;
}

Failure failure(const char* operation, int error) { return Failure{operation, error, std::strerror(error)}; }

// Pages the program may read are copied as memory. Execute-only pages, and under AddressSanitizer
// all of them (it guards the gaps between globals), are read through /proc/self/mem, where the
// kernel copies. Not for everything: under 32-bit qemu-user, /proc/self/mem is the emulator's own
// memory, not the program's.
Status copy_pages(const Range& m, void* copy) {
#ifdef __SANITIZE_ADDRESS__
  constexpr bool kReadAsMemory = false;
#else
  constexpr bool kReadAsMemory = true;
#endif
  std::size_t size = m.end - m.start;
  if (kReadAsMemory && (m.prot & PROT_READ)) {
    std::memcpy(copy, reinterpret_cast<const void*>(m.start), size);
    return {};
  }
  int memory = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
  if (memory < 0) return failure("open /proc/self/mem", errno);
  for (std::size_t done = 0; done < size;) {
    ssize_t n = ::pread(memory, static_cast<char*>(copy) + done, size - done, static_cast<off_t>(m.start + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int error = n == 0 ? EIO : errno;
      ::close(memory);
      return failure("read /proc/self/mem", error);
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(memory);
  return {};
}

Status move_one(const Range& m) {
  std::size_t size = m.end - m.start;
  void* target = reinterpret_cast<void*>(m.start);
  void* copy = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (copy == MAP_FAILED) return failure("mmap", errno);
  auto give_up = [&](Failure f) {
    ::munmap(copy, size);
    return f;
  };
  if (Status copied = copy_pages(m, copy); !copied) return give_up(copied.failure());
  if (::mprotect(copy, size, m.prot) != 0) return give_up(failure("mprotect", errno));
  // Atomic for this thread: the code running now may lie in `target`, and it reads the same after.
  if (::mremap(copy, size, size, MREMAP_MAYMOVE | MREMAP_FIXED, target) == MAP_FAILED)
    return give_up(failure("mremap", errno));
  return {};
}

}  // namespace

Status remap_program_into_memory() {
  Layout layout;
  ::dl_iterate_phdr(main_program_layout, &layout);
  if (layout.segments.empty()) return Failure{"dl_iterate_phdr", ENOENT, "no loadable segment"};
  // In header order, so that a page two segments share ends with the later one's protection, as
  // the loader left it.
  //
  // The order also keeps the GOT whole. The program binds its library calls lazily: the first call
  // of a function through the PLT has the loader write the function's address into its GOT slot,
  // which lies in the writable segment, past RELRO. A binding written after move_one has copied
  // that piece and before its mremap would land on the page being replaced and be lost; the slot
  // would merely be bound again, but it is the one write that could fall there. Every call
  // move_one makes through the PLT (mmap, memcpy, mprotect, mremap, and open, pread and close for
  // pages read through /proc/self/mem) is first made for an earlier piece: the first, which holds
  // the headers (on ARM the code too), or for the reads outside AddressSanitizer, execute-only
  // code. So all are bound before a writable page is copied. munmap and strerror are first called
  // on a failure, which ends the move. A new call in move_one, or a writable segment ahead of the
  // others, would undo this.
  for (const Range& piece : pieces_to_move(layout))
    if (Status moved = move_one(piece); !moved) return moved;
  return {};
}

}  // namespace ostrael::linux_
