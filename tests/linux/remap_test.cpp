// Moving the program's own pages into memory: each page keeps its place and protection, and
// none is left on the file.
#include "platform/linux/remap.h"

#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/syscall.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>
#include <string>

namespace ostrael::linux_ {
namespace {

struct Mapping {
  unsigned long start = 0, end = 0;
  std::string perms;
  bool from_file = false;
};

// The mappings of the process as /proc/self/maps lists them, and whether each is from `file`.
std::vector<Mapping> mappings(const std::string& file) {
  std::vector<Mapping> all;
  std::ifstream in("/proc/self/maps");
  for (std::string line; std::getline(in, line);) {
    unsigned long start = 0, end = 0, inode = 0;
    char perms[5] = {};
    int path_at = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx %4s %*x %*x:%*x %lu %n", &start, &end, perms, &inode, &path_at) < 4) continue;
    all.push_back({start, end, std::string(perms, 3),
                   inode != 0 && line.substr(static_cast<std::size_t>(path_at)) == file});
  }
  return all;
}

const Mapping* holding(const std::vector<Mapping>& all, unsigned long address) {
  for (const Mapping& m : all)
    if (address >= m.start && address < m.end) return &m;
  return nullptr;
}

int global_counter = 41;

// The exit status of the check, run in a child of its own: 0 when every page moved as it should.
int moved_in_place(const std::string& self) {
  auto before = mappings(self);
  Status moved = remap_program_into_memory();
  if (!moved) {
    std::fprintf(stderr, "failed: %s\n", describe(moved.failure()).c_str());
    return 1;
  }
  auto after = mappings(self);
  int wrong = 0, moved_pages = 0;
  for (const Mapping& m : before) {
    if (!m.from_file) continue;
    for (unsigned long page = m.start; page < m.end; page += 4096) {
      ++moved_pages;
      const Mapping* now = holding(after, page);
      if (!now || now->perms != m.perms || now->from_file) {
        std::fprintf(stderr, "page %lx was %s from the file, is %s%s\n", page, m.perms.c_str(),
                     now ? now->perms.c_str() : "gone", now && now->from_file ? " from the file" : "");
        ++wrong;
      }
    }
  }
  // Code and data still work from their new pages.
  if (++global_counter != 42) ++wrong;
  return wrong == 0 && moved_pages > 0 ? 0 : 2;
}

TEST(Remap, EveryPageKeepsItsProtectionAndNoneStaysOnTheFile) {
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  EXPECT_EXIT(std::_Exit(moved_in_place(self)), ::testing::ExitedWithCode(0), "");
}

// Memory that may not turn executable (systemd's MemoryDenyWriteExecute, for one) refuses the
// copy of the code: the remap fails, and the program runs on from its file.
bool deny_write_execute() {
  constexpr int kSetMdwe = 65, kRefuseExecGain = 1;  // PR_SET_MDWE, PR_MDWE_REFUSE_EXEC_GAIN (Linux 6.3)
  return ::prctl(kSetMdwe, kRefuseExecGain, 0L, 0L, 0L) == 0;
}

int refused_and_runs_on(const std::string& self) {
  if (!deny_write_execute()) return 3;
  Status moved = remap_program_into_memory();
  if (moved || moved.failure().operation != "mprotect") return 1;
  int still_on_file = 0;
  for (const Mapping& m : mappings(self)) still_on_file += m.from_file;
  return ++global_counter > 0 && still_on_file > 0 ? 0 : 2;
}

TEST(Remap, RefusedByTheKernelLeavesTheProgramRunningFromItsFile) {
  pid_t probe = ::fork();
  if (probe == 0) std::_Exit(deny_write_execute() ? 0 : 1);
  int status = 0;
  ::waitpid(probe, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) GTEST_SKIP() << "the kernel has no PR_SET_MDWE";
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  EXPECT_EXIT(std::_Exit(refused_and_runs_on(self)), ::testing::ExitedWithCode(0), "");
}

// Makes every mremap onto `target` fail with ENOMEM, as when the kernel runs out of map entries.
bool refuse_mremap_onto(unsigned long target) {
  sock_filter code[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_mremap, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[4])),  // low half on little-endian
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(target), 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOMEM),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// The last move, onto the last of the file's mappings, fails after the others, RELRO's among them,
// have moved: no page the loader left read-only may be writable. lld gives RELRO a segment of its
// own ahead of the data, the layout where it was once left writable.
int read_only_stays_after_failed_move(const std::string& self) {
  auto before = mappings(self);
  unsigned long last = 0;
  for (const Mapping& m : before) last = m.from_file ? m.start : last;
  if (!refuse_mremap_onto(last)) return 3;
  Status moved = remap_program_into_memory();
  if (moved || moved.failure().operation != "mremap") return 1;
  auto after = mappings(self);
  for (const Mapping& m : before)
    for (unsigned long page = m.start; m.from_file && m.perms[1] != 'w' && page < m.end; page += 4096)
      if (const Mapping* now = holding(after, page); !now || now->perms[1] == 'w') return 2;
  return ++global_counter > 0 ? 0 : 4;
}

TEST(Remap, AFailedLastMoveLeavesRelroReadOnly) {
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  EXPECT_EXIT(std::_Exit(read_only_stays_after_failed_move(self)), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace ostrael::linux_
