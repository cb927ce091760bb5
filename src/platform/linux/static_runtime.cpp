// What the statically linked libstdc++ of the release programs asks of the C library, and one
// piece of it they leave out. They are built against glibc 2.31 to load on 2.28 and later, while
// libstdc++ 12 was built on 2.36 and asks for two things older C libraries lack.
#include <sys/random.h>

#include <cerrno>
#include <cstdlib>

// std::random_device draws from arc4random (glibc 2.36) when it has it. The program makes no
// random_device, but libstdc++'s string instantiations bring its code along.
extern "C" unsigned int arc4random() {
  unsigned int value;
  for (;;) {
    ssize_t n = ::getrandom(&value, sizeof value, 0);  // glibc 2.25
    if (n == static_cast<ssize_t>(sizeof value)) return value;
    if (n < 0 && errno != EINTR) std::abort();
  }
}

// glibc 2.32 tells libstdc++ through this whether the process has one thread, so that it can skip
// atomic operations. Older C libraries have no such flag; zero means "maybe more than one", which
// is always safe and is what libstdc++ assumed before.
extern "C" {
char __libc_single_threaded = 0;
}

// The default handler names the uncaught exception's type, which brings the demangler (40 KB) in.
// The program shows no messages of its own; abort() is what the handler ends in anyway.
namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
