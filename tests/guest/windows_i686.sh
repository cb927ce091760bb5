#!/usr/bin/env bash
# The 32-bit Windows tests where this host runs no 32-bit code: in the emulated PC that
# tools/guest.sh makes (and this makes first if it is missing), under 32-bit Wine, the i686 unit
# tests and the end-to-end test of the given Ostrael.exe, at 96 dpi.
#
#   tests/guest/windows_i686.sh OSTRAEL_EXE BUILD_DIR
#
# OSTRAEL_EXE is the program under test as it ships (the kit's own bytes); BUILD_DIR is the
# windows-i686 test build. Prints the sha256 of the Ostrael.exe the guest ran and each suite's
# result; ends with the tests' status. The dpi sweep, the dark face and the second locale are left
# to the x86_64 build on the host.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 OSTRAEL_EXE BUILD_DIR" >&2; exit 2; }
exe=$(realpath "$1") build=$(realpath "$2")
top=$(cd "$(dirname "$0")/../.." && pwd)

# The end-to-end tests the guest runs, as a gtest filter: all of the harness's pass at 96 dpi. It
# holds the window at rest against its reference, the tooltips, the hand, each picture's command
# and the binary message that 64-bit Wine cannot shape.
e2e_tests='*'
# The emulated PC is some 15 to 25 times slower: every wait in the tests is stretched as much.
time_scale=${OSTRAEL_TIME_SCALE:-25}
limit=${OSTRAEL_GUEST_SECONDS:-840}

programs=("$build/tests/core/core_tests.exe" "$build"/tests/win32/{win32_tests,end_to_end}.exe)
"$top/tools/guest.sh"

share=$build/guest
rm -rf "$share"
mkdir -p "$share/in" "$share/artifacts"
cp "$exe" "$share/in/Ostrael.exe"
cp "${programs[@]}" "$share/in/"
cp "$build/bin/Ostrael.exe" "$share/in/Ostrael-test-build.exe"
{
  printf 'export OSTRAEL_TIME_SCALE=%q OSTRAEL_E2E_ONLY=%q\n' "$time_scale" "$e2e_tests"
  printf 'exec sh /src/tests/guest/in_guest.sh\n'
} >"$share/run.sh"

start=$SECONDS
status=0
"$top/tests/guest/boot.sh" "$(realpath "$top/build/guest")" "$share" "$limit" || status=$?
[ -f "$share/results" ] && cat "$share/results"
echo "windows-i686 guest: $((SECONDS - start)) s; logs and screenshots in $share"
exit $status
