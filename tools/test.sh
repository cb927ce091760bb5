#!/usr/bin/env bash
# Builds both programs and runs every test: natively, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/locales.sh

presets=(linux windows-i686)
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
exit $status
