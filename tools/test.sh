#!/usr/bin/env bash
# Builds both programs and runs every test: natively, under the sanitizers, the Windows build
# under Wine, and the fuzzer over its corpus and for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/locales.sh

presets=(linux windows-i686 asan)
# Both programs first: some Linux tests lay out or start the Windows one.
for preset in "${presets[@]}"; do
  echo "== build $preset"
  cmake --preset "$preset" -DOSTRAEL_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
status=0
for preset in "${presets[@]}"; do
  echo "== test $preset"
  ctest --preset "$preset" || status=1
done

# The release kit, built twice under different builder settings and compared, then unzipped and
# run; it uses the linux and windows-i686 builds above for its window harnesses.
echo "== release kit"
tests/release/release_test.sh || status=1

# The fuzzer is a clang project of its own; its corpus replay and bounded run go side by side.
echo "== fuzz"
(
  cd fuzz
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$(nproc)"
  ctest --preset fuzz -j"$(nproc)"
) || status=1
exit $status
