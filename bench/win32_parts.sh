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
exe=build/windows-i686/bin/Ostrael.exe
bare=build/bench-windows-i686
for f in "$watcher" "$exe" "$bare/bare_win32.exe" "$bare/bare_win32_cc6.exe" "$bare/bare_win32_controls.exe"; do
  [ -f "$f" ] || { echo "missing $f: run bench/run.sh first" >&2; exit 1; }
done

scratch=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$scratch/display")" HOME="$scratch/home"
mkdir -p "$HOME" "$scratch/pen"
cp "$exe" "$scratch/pen/"

# Warm, as in bench/run.sh: a persistent server and one program that keeps the desktop up.
export WINEPREFIX="$PWD/$bare/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true
wineserver -p
wineboot -i >/dev/null 2>&1
mkfifo "$scratch/keep-warm"
wine cmd.exe <"$scratch/keep-warm" >/dev/null 2>&1 &
exec 4>"$scratch/keep-warm"

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

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
floor=$(median "$scratch/bare")
echo "Win32 start-up by part, warm Wine, $runs runs each: min / median / max (ms), median against the bare window"
labels=("bare window" "+ Common Controls 6" "+ Common Controls 6 and the eleven controls" "Ostrael.exe")
for k in "${!names[@]}"; do
  f="$scratch/${names[$k]}"
  printf '  %-46s %s  %s\n' "${labels[$k]}" \
    "$(sort -g "$f" | awk '{ v[NR] = $1 } END { printf "%6.1f / %6.1f / %6.1f", v[1], v[int((NR + 1) / 2)], v[NR] }')" \
    "$(awk -v a="$(median "$f")" -v b="$floor" 'BEGIN { printf "%.3f", a / b }')"
done
