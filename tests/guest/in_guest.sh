#!/bin/sh
# Runs in the emulated PC (tests/guest/windows_i686.sh leaves the programs in /share/in): the i686
# unit tests with the environment their ctest entries set, then run_end_to_end.sh on the shipped
# Ostrael.exe, in the Wine prefix tools/guest.sh made. Each suite's output goes to /share/*.log
# and to the console; /share/results gets one line each.
# Wine maps a program's file into memory, and a mapping of a file on the 9p share reads as zeros:
# the programs run from a copy on the guest's own disk.
cp -r /share/in /var/lib/ostrael/in
cd /var/lib/ostrael
export WINEPREFIX=/var/lib/ostrael/e2e/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
results=/share/results
echo "sha256 of the Ostrael.exe run: $(sha256sum in/Ostrael.exe | cut -d' ' -f1)" >"$results"
echo "wine: $(wine --version)" >>"$results"
status=0
suite() {
  name=$1
  shift
  echo "guest: $name"
  if "$@" >"/share/$name.log" 2>&1; then
    echo "$name: passed" >>"$results"
  else
    echo "$name: FAILED" >>"$results"
    status=1
    grep -E -A 4 'Failure$' "/share/$name.log" | head -n 40
    tail -n 15 "/share/$name.log"
  fi
  grep -E '^\[ *(PASSED|FAILED|SKIPPED) *\]' "/share/$name.log" || true
}
suite core_tests wine in/core_tests.exe
suite win32_tests env LC_ALL=en_US.UTF-8 OSTRAEL_EXE="$(winepath -w in/Ostrael-test-build.exe)" wine in/win32_tests.exe
wineserver -k
suite end_to_end sh /src/tests/win32/run_end_to_end.sh in/Ostrael.exe in/end_to_end.exe /var/lib/ostrael/e2e /share/artifacts
exit $status
