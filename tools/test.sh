#!/usr/bin/env bash
# Builds both programs and runs every test: natively, under the sanitizers, the Windows build
# under Wine, and the fuzzers over their corpora and for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/locales.sh

status=0
for preset in linux windows-i686 asan; do
  echo "== $preset"
  cmake --preset "$preset" -DOSTRAEL_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
  ctest --preset "$preset" -j"$(nproc)" || status=1
done

echo "== fuzz"
(
  cd fuzz
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$(nproc)"
  ctest --preset fuzz -j"$(nproc)"
) || status=1
exit $status
