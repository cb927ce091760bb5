// The one factor every time limit in the tests is stretched by. A limit is a net against a hang,
// not a measure of speed: it is generous on a quiet machine and grows where the same work is
// known to be slower.
#pragma once

#include <chrono>
#include <cstdlib>

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

}  // namespace ostrael::testing
