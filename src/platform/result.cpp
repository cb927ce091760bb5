// Text of a failure for the diagnostic output.
#include "platform/result.h"

#include <cstdio>

namespace ostrael {

std::string describe(const Failure& failure) {
  char code[32];
  // Negative HRESULTs read best in hex, errno values in decimal.
  if (failure.code < 0 && failure.code >= INT32_MIN)
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(failure.code)));
  else
    std::snprintf(code, sizeof code, "%lld", static_cast<long long>(failure.code));
  std::string line = failure.operation + " failed (" + code + ")";
  if (!failure.text.empty()) line += ": " + failure.text;
  // One line, whatever the platform's message text holds (system messages end in CRLF).
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace ostrael
