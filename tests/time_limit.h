// The one factor every time limit in the tests is stretched by. A limit is a net against a hang,
// not a measure of speed: it is generous on a quiet machine and grows where the same work is
// known to be slower. And the one wait for a window to hold still.
#pragma once

#include <chrono>
#include <cstdlib>
#include <utility>

namespace ostrael::testing {

// 5 under the sanitizers (GTK laying out a MiB of text took over three times as long there), and
// times OSTRAEL_TIME_SCALE where that is set to a number above 0: a busy or emulated machine.
inline double time_scale() {
#if defined(__SANITIZE_ADDRESS__)
  double scale = 5;
#else
  double scale = 1;
#endif
  if (const char* more = std::getenv("OSTRAEL_TIME_SCALE")) {
    double factor = std::strtod(more, nullptr);
    if (factor > 0 && factor < 1000) scale *= factor;
  }
  return scale;
}

template <class Rep, class Period>
std::chrono::milliseconds time_limit(std::chrono::duration<Rep, Period> limit) {
  static const double scale = time_scale();
  return std::chrono::milliseconds(static_cast<long long>(std::chrono::duration<double, std::milli>(limit).count() * scale));
}

// Captures until `ready` holds and four captures in a row, `wait` apart, are the same, for at most
// time_limit(limit): the last capture, and whether the window held still. On a busy machine a
// window can pause between two steps of its painting for longer than any one wait.
template <class Capture, class Ready, class Wait>
auto settled(Capture capture, Ready ready, Wait wait, std::chrono::milliseconds limit) {
  auto last = capture();
  int same = 0;
  for (auto end = std::chrono::steady_clock::now() + time_limit(limit); same < 3 && std::chrono::steady_clock::now() < end;) {
    wait();
    auto now = capture();
    same = now == last && ready(now) ? same + 1 : 0;
    last = std::move(now);
  }
  return std::pair(std::move(last), same == 3);
}

}  // namespace ostrael::testing
