#!/usr/bin/env bash
# Builds both programs and runs every test: natively, under the sanitizers, the Windows build
# under Wine, the release kit, and the fuzzer over its corpus and for a bounded time.
#
# The Windows tests run on the shipped 32-bit Ostrael.exe under Wine where this host runs 32-bit
# x86 code. Where it does not, they run on the same source built for x86_64 under wine64, and the
# kit's 32-bit Ostrael.exe with the i686 tests in an emulated PC (tools/windows-tests.sh decides;
# OSTRAEL_WINDOWS_TESTS=x86_64 takes that road on any x86-64 host). So does a host whose apt cannot
# install wine32:i386.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/locales.sh

# The same script answers install-deps and the release test, so all three take the same build.
if [ "$(tools/windows-tests.sh)" = i686 ] &&
  ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  # install-deps said why above, and installed the other road's packages instead.
  if [ -n "${OSTRAEL_WINDOWS_TESTS:-}" ]; then
    echo "OSTRAEL_WINDOWS_TESTS=i686 needs wine32:i386, which could not be installed" >&2
    exit 1
  fi
  export OSTRAEL_WINDOWS_TESTS=x86_64
  no_wine32="this host runs 32-bit x86 code, but wine32:i386 could not be installed"
fi
windows=windows-$(tools/windows-tests.sh)
windows_why=${no_wine32:-$(tools/windows-tests.sh --reason)}
echo "== Windows tests on $windows: $windows_why"
presets=(linux "$windows" asan)
builds=("${presets[@]}")
# Where the 32-bit build is not run here, it is built with its tests, warnings as errors, for the
# emulated PC, which is made meanwhile: mostly fetching and unpacking Debian's packages.
guest_pid=""
if [ "$windows" = windows-x86_64 ]; then
  builds+=(windows-i686)
  mkdir -p build
  echo "== the emulated PC, made beside the builds if it is missing (build/guest.log)"
  # In a process group of its own, so that a failed build stops it and what it started, and
  # nothing else.
  setsid tools/guest.sh >build/guest.log 2>&1 </dev/null &
  guest_pid=$!
  trap '[ -z "$guest_pid" ] || kill -- "-$guest_pid" 2>/dev/null || true' EXIT
fi
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

# The release kit, built twice under different builder settings and compared, then unzipped and
# run; it uses the linux and Windows test builds above for its window harnesses.
echo "== release kit"
if tests/release/release_test.sh; then record "release kit" passed; else record "release kit" FAILED; fi

# The kit's own Ostrael.exe and the i686 tests in the emulated PC, where this host cannot run them.
if [ -n "$guest_pid" ]; then
  echo "== windows-i686 in an emulated PC ($windows_why)"
  guest_made=0
  wait "$guest_pid" || guest_made=$?
  guest_pid=""
  kit=dist/ostrael-$(cat build/release-linux/ostrael-version.txt 2>/dev/null)
  shipped=$(awk '$2 == "pen/Ostrael.exe" { print $1 }' "$kit/SHA256SUMS" 2>/dev/null || true)
  if [ $guest_made -ne 0 ]; then
    tail -n 20 build/guest.log
    record windows-i686 FAILED "the emulated PC could not be made (build/guest.log)"
  elif tests/guest/windows_i686.sh "$kit/pen/Ostrael.exe" build/windows-i686; then
    ran=$(sed -n 's/^sha256 of the Ostrael.exe run: //p' build/windows-i686/guest/results)
    if [ -n "$shipped" ] && [ "$ran" = "$shipped" ]; then
      record windows-i686 passed "in an emulated PC, the kit's Ostrael.exe, sha256 $ran"
    else
      record windows-i686 FAILED "the emulated PC ran an Ostrael.exe of sha256 '$ran', the kit's is '$shipped'"
    fi
  else
    record windows-i686 FAILED "in an emulated PC"
  fi
fi

# The fuzzer is a clang project of its own; its corpus replay and bounded run go side by side.
echo "== fuzz"
if (
  cd fuzz
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$(nproc)"
  ctest --preset fuzz -j"$(nproc)"
); then record fuzz passed; else record fuzz FAILED; fi

if [ "$windows" = windows-i686 ]; then
  echo "== summary (Windows program tested: the 32-bit Ostrael.exe under this host's Wine)"
else
  echo "== summary (Windows program tested: Ostrael.exe built for x86_64 under wine64; the kit's" \
    "32-bit one in an emulated PC: $windows_why)"
fi
printf '%s\n' "${summary[@]}"
echo "suites: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
