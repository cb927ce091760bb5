#!/usr/bin/env bash
# Weighs the parts of Ostrael.exe's start-up under warm Wine: the bare Win32 window, the same with
# the Common Controls 6 manifest, with those controls and the form's eleven controls, and the
# program itself, timed as bench/run.sh times them (spawn to first Expose), alternating.
# RUNS=n sets the runs per series. Run it after bench/run.sh has built everything, not beside it:
# both use the same Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-15}

watcher=build/bench/start_watcher
windows=$(tools/windows-tests.sh)  # as bench/run.sh built them
if [ "$windows" = x86_64 ]; then export PATH="$PWD/cmake/wine64:$PATH"; fi
exe=build/windows-$windows/bin/Ostrael.exe
bare=build/bench-windows-$windows
for f in "$watcher" "$exe" "$bare/bare_win32.exe" "$bare/bare_win32_cc6.exe" "$bare/bare_win32_controls.exe"; do
  [ -f "$f" ] || { echo "missing $f: run bench/run.sh first" >&2; exit 1; }
done

scratch=$(mktemp -d)
. bench/session.sh
bench_start_xvfb
export HOME="$scratch/home"
mkdir -p "$HOME" "$scratch/pen"
cp "$exe" "$scratch/pen/"

bench_warm_wine "$PWD/$bare/wineprefix"

names=(bare cc6 controls program)
commands=("$bare/bare_win32.exe" "$bare/bare_win32_cc6.exe" "$bare/bare_win32_controls.exe" "$scratch/pen/Ostrael.exe")
for k in "${!names[@]}"; do "$watcher" -t 60 -l 200 -- wine "${commands[$k]}" >/dev/null; done  # not timed
for i in $(seq "$runs"); do
  printf '\rrun %d of %d' "$i" "$runs" >&2
  for j in "${!names[@]}"; do
    k=$(((j + i) % ${#names[@]}))
    "$watcher" -t 60 -l 200 -- wine "${commands[$k]}" | awk '{ print $2 }' >>"$scratch/${names[$k]}"
  done
done
echo >&2

floor=$(median "$scratch/bare" 1)
echo "Win32 start-up by part, warm Wine, $runs runs each: min / median / max (ms), median against the bare window"
labels=("bare window" "+ Common Controls 6" "+ Common Controls 6 and the eleven controls" "Ostrael.exe")
for k in "${!names[@]}"; do
  f="$scratch/${names[$k]}"
  printf '  %-46s %-24s %s\n' "${labels[$k]}" \
    "$(spread "$f" 1)" "$(ratio "$(median "$f" 1)" "$floor")"
done
