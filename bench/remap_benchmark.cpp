// What moving the program's own pages into memory costs at start: each iteration starts this
// program afresh, whose mappings are then file-backed as ostrael's are, and times the remap there.
// It carries ostrael's baked pictures and read-only ballast, so that it copies about as much as
// ostrael does (268 KiB in four segments at the time of writing; the KiB counter says how much).
#include <benchmark/benchmark.h>
#include <link.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/gtk/baked_pictures.h"
#include "platform/linux/remap.h"

extern char** environ;

namespace {

constexpr char kChild[] = "--remap-and-report";
constexpr std::size_t kBallastBytes = 184 * 1024;
[[gnu::used]] const unsigned char kBallast[kBallastBytes] = {1};

std::int64_t now_ns() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The bytes the remap copies: this program's file-backed mappings, by the same rule it uses.
double file_backed_bytes() {
  struct Span {
    std::uintptr_t start = 0, end = 0;
  } span;
  ::dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        auto* s = static_cast<Span*>(data);
        for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
          if (info->dlpi_phdr[i].p_type != PT_LOAD) continue;
          std::uintptr_t start = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
          std::uintptr_t end = start + info->dlpi_phdr[i].p_memsz;
          if (s->end == 0 || start < s->start) s->start = start;
          if (end > s->end) s->end = end;
        }
        return 1;
      },
      &span);
  std::ifstream maps("/proc/self/maps");
  double bytes = 0;
  for (std::string line; std::getline(maps, line);) {
    unsigned long start = 0, end = 0, inode = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx %*s %*x %*x:%*x %lu", &start, &end, &inode) != 3) continue;
    if (inode != 0 && start >= (span.start & ~0xfffUL) && end <= ((span.end + 0xfff) & ~0xfffUL))
      bytes += static_cast<double>(end - start);
  }
  return bytes;
}

void BM_RemapProgramIntoMemory(benchmark::State& state) {
  for (auto _ : state) {
    int fds[2];
    if (::pipe(fds) != 0) {
      state.SkipWithError("pipe");
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    char self[] = "/proc/self/exe";
    char flag[sizeof kChild];
    std::memcpy(flag, kChild, sizeof kChild);
    char* argv[] = {self, flag, nullptr};
    pid_t child = -1;
    int spawned = ::posix_spawn(&child, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::int64_t took = -1;
    ssize_t n = spawned == 0 ? ::read(fds[0], &took, sizeof took) : -1;
    ::close(fds[0]);
    if (spawned == 0) ::waitpid(child, nullptr, 0);
    if (n != sizeof took || took < 0) {
      state.SkipWithError("the remap failed in the child");
      return;
    }
    state.SetIterationTime(static_cast<double>(took) / 1e9);
  }
  state.counters["KiB"] = file_backed_bytes() / 1024;
}
BENCHMARK(BM_RemapProgramIntoMemory)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], kChild) == 0) {
    std::int64_t start = now_ns();
    bool moved = bool(ostrael::linux_::remap_program_into_memory());
    std::int64_t took = moved ? now_ns() - start : -1;
    return ::write(STDOUT_FILENO, &took, sizeof took) == sizeof took ? 0 : 1;
  }
  benchmark::DoNotOptimize(ostrael::gtk::baked_pictures().size());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
