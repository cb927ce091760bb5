#!/usr/bin/env bash
# Builds both programs and runs every test: natively, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/locales.sh

status=0
for preset in linux windows-i686; do
  echo "== $preset"
  cmake --preset "$preset" -DOSTRAEL_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
  ctest --preset "$preset" -j"$(nproc)" || status=1
done
exit $status
