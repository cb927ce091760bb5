// Moves the main program's file-backed mappings into anonymous memory in place: copy each one
// aside, give the copy the same protection and mremap it over the original.
#include "platform/linux/remap.h"

#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace ostrael::linux_ {

namespace {

struct Mapping {
  std::uintptr_t start = 0;
  std::uintptr_t end = 0;
  int prot = PROT_NONE;
};

Failure failure(const char* operation, int error) { return Failure{operation, error, std::strerror(error)}; }

// The span of the main program's loadable segments. dl_iterate_phdr reports the main program
// first, also when the loader started it, so /proc/self/exe (the loader, then) is never needed.
int main_program_span(dl_phdr_info* info, std::size_t, void* data) {
  auto* span = static_cast<Mapping*>(data);
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    if (header.p_type != PT_LOAD) continue;
    std::uintptr_t start = info->dlpi_addr + header.p_vaddr;
    std::uintptr_t end = start + header.p_memsz;
    if (span->end == 0 || start < span->start) span->start = start;
    if (end > span->end) span->end = end;
  }
  return 1;
}

Result<std::string> read_whole(int fd) {
  std::string text;
  char buffer[16384];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failure("read /proc/self/maps", errno);
    if (n == 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

// The file-backed mappings inside `span`, as /proc/self/maps lists them now: the loader has split
// the segments by protection already (RELRO after relocation), so each keeps its own.
Result<std::vector<Mapping>> file_mappings(Mapping span) {
  int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failure("open /proc/self/maps", errno);
  auto text = read_whole(fd);
  ::close(fd);
  if (!text) return text.failure();

  const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  span.start &= ~(page - 1);
  span.end = (span.end + page - 1) & ~(page - 1);
  std::vector<Mapping> out;
  std::size_t at = 0;
  while (at < text->size()) {
    std::size_t end = text->find('\n', at);
    if (end == std::string::npos) end = text->size();
    std::string line = text->substr(at, end - at);
    at = end + 1;
    unsigned long start = 0, stop = 0, offset = 0, inode = 0;
    unsigned major = 0, minor = 0;
    char perms[5] = {};
    if (std::sscanf(line.c_str(), "%lx-%lx %4s %lx %x:%x %lu", &start, &stop, perms, &offset, &major, &minor,
                    &inode) != 7)
      continue;
    if (inode == 0 || start < span.start || stop > span.end) continue;
    int prot = (perms[0] == 'r' ? PROT_READ : 0) | (perms[1] == 'w' ? PROT_WRITE : 0) |
               (perms[2] == 'x' ? PROT_EXEC : 0);
    out.push_back({start, stop, prot});
  }
  return out;
}

// Reads through /proc/self/mem rather than memcpy: the kernel copies, so guard zones a sanitizer
// puts between globals are no obstacle, and execute-only pages need no extra mprotect.
Status move_one(const Mapping& m, int memory) {
  std::size_t size = m.end - m.start;
  void* target = reinterpret_cast<void*>(m.start);
  void* copy = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (copy == MAP_FAILED) return failure("mmap", errno);
  auto give_up = [&](const char* operation) {
    int error = errno;
    ::munmap(copy, size);
    return failure(operation, error);
  };
  // A gap the loader left inaccessible holds nothing to copy.
  for (std::size_t done = 0; m.prot != PROT_NONE && done < size;) {
    ssize_t n = ::pread(memory, static_cast<char*>(copy) + done, size - done, static_cast<off_t>(m.start + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return give_up("read /proc/self/mem");
    }
    done += static_cast<std::size_t>(n);
  }
  if (::mprotect(copy, size, m.prot) != 0) return give_up("mprotect");
  // Atomic for this thread: the code running now may lie in `target`, and it reads the same after.
  if (::mremap(copy, size, size, MREMAP_MAYMOVE | MREMAP_FIXED, target) == MAP_FAILED) return give_up("mremap");
  return {};
}

}  // namespace

Status remap_program_into_memory() {
  Mapping span;
  ::dl_iterate_phdr(main_program_span, &span);
  if (span.end == 0) return Failure{"dl_iterate_phdr", ENOENT, "no loadable segment"};
  auto mappings = file_mappings(span);
  if (!mappings) return mappings.failure();
  int memory = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
  if (memory < 0) return failure("open /proc/self/mem", errno);
  Status status;
  for (const Mapping& m : *mappings)
    if (status = move_one(m, memory); !status) break;
  ::close(memory);
  return status;
}

}  // namespace ostrael::linux_
