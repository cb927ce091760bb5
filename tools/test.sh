#!/usr/bin/env bash
# Builds both programs and runs every test: natively, under the sanitizers, the Windows build
# under Wine, the release kit, and the fuzzer over its corpus and for a bounded time.
#
# The Windows tests run on the shipped 32-bit Ostrael.exe where this host runs 32-bit x86 code,
# and otherwise on the same source built for x86_64 under wine64 (tools/windows-tests.sh decides;
# OSTRAEL_WINDOWS_TESTS=x86_64 forces it).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/locales.sh

# The same script answers install-deps and the release test, so all three take the same build.
windows=windows-$(tools/windows-tests.sh)
windows_why=$(tools/windows-tests.sh --reason)
echo "== Windows tests on $windows: $windows_why"
presets=(linux "$windows" asan)
builds=("${presets[@]}")
# Where the 32-bit build is not run, it is still built with its tests, warnings as errors.
[ "$windows" = windows-i686 ] || builds+=(windows-i686)
# Both programs first: some Linux tests lay out or start the Windows one.
for preset in "${builds[@]}"; do
  echo "== build $preset"
  cmake --preset "$preset" -DOSTRAEL_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done

passed=0 failed=0 skipped=0
summary=()
record() {  # name status [why]
  case $2 in
    passed) passed=$((passed + 1)) ;;
    skipped) skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)) ;;
  esac
  summary+=("$(printf '%-16s %s' "$1" "$2${3:+: $3}")")
}
for preset in "${presets[@]}"; do
  echo "== test $preset"
  if ctest --preset "$preset"; then record "$preset" passed; else record "$preset" FAILED; fi
done
if [ "$windows" = windows-x86_64 ]; then
  record windows-i686 skipped "$windows_why; built, and the shipped Ostrael.exe checked in the release kit, without being run"
fi

# The release kit, built twice under different builder settings and compared, then unzipped and
# run; it uses the linux and Windows test builds above for its window harnesses.
echo "== release kit"
if tests/release/release_test.sh; then record "release kit" passed; else record "release kit" FAILED; fi

# The fuzzer is a clang project of its own; its corpus replay and bounded run go side by side.
echo "== fuzz"
if (
  cd fuzz
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$(nproc)"
  ctest --preset fuzz -j"$(nproc)"
); then record fuzz passed; else record fuzz FAILED; fi

echo "== summary (Windows program tested: Ostrael.exe built for ${windows#windows-})"
printf '%s\n' "${summary[@]}"
echo "suites: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
