#!/usr/bin/env bash
# Builds both programs, the baselines and the watcher, times them on a private Xvfb display and
# prints the table. RUNS=n sets the runs per figure (at least 15 for the ratios to count).
# BEFORE=DIR also times the ostrael and Ostrael.exe found in DIR (an earlier build) in the same
# runs, on a pen of their own, so a change's cost is read off one run rather than two.
# Beside the bare windows, each program is timed against the text editor a finder would open
# message.txt with instead: mousepad on Linux, Wine's notepad on Windows. Ostrael.exe's bare window
# is like for like, as the bare GTK window is: it has the form's eleven controls and the Common
# Controls 6 manifest (bench/win32_parts.sh weighs each part against an empty window).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-15}
jobs=$(nproc)

tools/install-deps.sh --bench
# Ostrael.exe is timed as the Windows tests run it: the shipped 32-bit build, or on a host that runs
# no 32-bit x86 code the x86_64 build of the same source, with its baseline built alike. Its size is
# always the shipped build's.
windows=$(tools/windows-tests.sh)
if [ "$windows" = x86_64 ]; then export PATH="$PWD/cmake/wine64:$PATH"; fi
# The Linux program as it goes on a drive: the x86-64 release build, against Debian 11.
for preset in release-linux windows-i686 "windows-$windows"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs" >/dev/null
done
(
  cd bench
  for preset in bench "bench-windows-$windows"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs" >/dev/null
  done
)

bench=build/bench
ostrael=build/release-linux/bin/ostrael
exe=build/windows-$windows/bin/Ostrael.exe
shipped=build/windows-i686/bin/Ostrael.exe
bare_exe=build/bench-windows-$windows/bare_win32_controls.exe
before=${BEFORE:-}
for f in "$ostrael" "$exe" "$bare_exe" "$bench/start_watcher" ${before:+"$before/ostrael" "$before/Ostrael.exe"}; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "missing $f" >&2; exit 1; }
done

scratch=$(mktemp -d)
. bench/session.sh
bench_start_xvfb
# The same quiet desktop for every program: no accessibility bus, no home of the user's.
export NO_AT_BRIDGE=1 HOME="$scratch/home" XDG_CACHE_HOME="$scratch/home/.cache" XDG_CONFIG_HOME="$scratch/home/.config"
mkdir -p "$HOME"

# Three pens: one with no message, one with a full 1 MiB message, and one with the template
# message that make-pen puts on a new pen, which the editors open too.
line='If you found this pen, please call Joao on 555-0100 or leave it at the front desk. Obrigado!'
for pen in none 1MiB template; do
  mkdir -p "$scratch/pen-$pen"
  cp "$ostrael" "$exe" "$scratch/pen-$pen/"
done
(set +o pipefail; yes "$line" | head -c 1048576) >"$scratch/pen-1MiB/message.txt"
if [ -n "$before" ]; then
  mkdir -p "$scratch/pen-before"
  cp "$before/ostrael" "$before/Ostrael.exe" "$scratch/pen-before/"
fi
cp pen/message.txt "$scratch/pen-template/message.txt"
message="$scratch/pen-template/message.txt"
case $message in *[[:space:]]*) echo "the scratch folder's path has a space: $message" >&2; exit 1 ;; esac
# A desktop editor registers on the session bus; it gets one of its own, as on a desktop, and the
# other programs get none, as before.
bus_address=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$scratch/bus_pid")
bus_pid=$(cat "$scratch/bus_pid")

bench_warm_wine "$PWD/build/bench-windows-$windows/wineprefix"

# name -> command; each run prints "map_ms expose_ms peak_rss_kib raced".
declare -A programs=(
  [xlib]="$bench/bare_xlib"
  [gtk]="$bench/bare_gtk"
  [ostrael]="$scratch/pen-none/ostrael"
  [ostrael_1MiB]="$scratch/pen-1MiB/ostrael"
  [ostrael_tpl]="$scratch/pen-template/ostrael"
  [mousepad]="env DBUS_SESSION_BUS_ADDRESS=$bus_address mousepad $message"
  [win32_controls]="wine $bare_exe"
  [exe]="wine $scratch/pen-none/Ostrael.exe"
  [exe_1MiB]="wine $scratch/pen-1MiB/Ostrael.exe"
  [exe_tpl]="wine $scratch/pen-template/Ostrael.exe"
  [notepad]="wine notepad.exe Z:${message//\//\\}"
)
# The editors' clock stops at their main window, the one titled with the file's name.
declare -A titles=([mousepad]=message.txt [notepad]=message.txt)
order=(xlib gtk ostrael ostrael_1MiB ostrael_tpl mousepad win32_controls exe exe_1MiB exe_tpl notepad)
if [ -n "$before" ]; then
  programs[ostrael_before]="$scratch/pen-before/ostrael"
  programs[exe_before]="wine $scratch/pen-before/Ostrael.exe"
  order+=(ostrael_before exe_before)
fi
measure() {  # name
  local title=()
  [ -n "${titles[$1]:-}" ] && title=(-n "${titles[$1]}")
  # A second after its first Expose the program has painted and settled, so its peak RSS is
  # that of a shown window and not of one caught half-way through start-up.
  # shellcheck disable=SC2086 # the commands are ours, split on purpose
  "$bench/start_watcher" -t 60 -l 1000 "${title[@]}" -- ${programs[$1]}
}
for name in "${order[@]}"; do measure "$name" >/dev/null; done  # warm the caches, not timed
for i in $(seq "$runs"); do
  printf '\rrun %d of %d' "$i" "$runs" >&2
  # Rotating the order keeps any drift from always landing on the same program.
  for k in $(seq 0 $((${#order[@]} - 1))); do
    name=${order[$(((k + i) % ${#order[@]}))]}
    measure "$name" >>"$scratch/$name"
  done
done
echo >&2

verdict() { awk -v v="$1" -v goal="$2" 'BEGIN { print (v <= goal) ? "met" : "NOT met" }'; }
verdict_below() { awk -v v="$1" -v goal="$2" 'BEGIN { print (v < goal) ? "met" : "NOT met" }'; }
row() { printf '%-50s %14s %10s  %s\n' "$@"; }

stripped="$scratch/Ostrael.stripped.exe"
i686-w64-mingw32-strip -o "$stripped" "$shipped"
size=$(stat -c %s "$stripped")

echo
echo "Ostrael benchmarks: $runs runs each, alternating, on Xvfb; start-up is spawn to first Expose of the top-level window"
echo
row "figure" "value" "goal" "result"
row "--------------------------------------------------" "--------------" "----------" "-------"
r=$(ratio "$(median "$scratch/ostrael" 2)" "$(median "$scratch/gtk" 2)")
row "start-up, ostrael / bare GTK" "$r" "<= 1.10" "$(verdict "$r" 1.10)"
r=$(ratio "$(median "$scratch/exe" 2)" "$(median "$scratch/win32_controls" 2)")
row "start-up, Ostrael.exe / Win32 CC6+controls (Wine)" "$r" "<= 1.10" "$(verdict "$r" 1.10)"
r=$(ratio "$(median "$scratch/ostrael_tpl" 2)" "$(median "$scratch/mousepad" 2)")
row "start-up, ostrael / mousepad (template pen)" "$r" "< 1" "$(verdict_below "$r" 1)"
r=$(ratio "$(median "$scratch/exe_tpl" 2)" "$(median "$scratch/notepad" 2)")
row "start-up, Ostrael.exe / notepad (Wine)" "$r" "< 1" "$(verdict_below "$r" 1)"
r=$(ratio "$(median "$scratch/ostrael_1MiB" 2)" "$(median "$scratch/ostrael" 2)")
row "start-up, ostrael 1 MiB message / none" "$r" "<= 1.30" "$(verdict "$r" 1.30)"
r=$(ratio "$(median "$scratch/exe_1MiB" 2)" "$(median "$scratch/exe" 2)")
row "start-up, Ostrael.exe 1 MiB message / none" "$r" "<= 1.30" "$(verdict "$r" 1.30)"
r=$(ratio "$(median "$scratch/ostrael" 3)" "$(median "$scratch/gtk" 3)")
row "peak RSS, ostrael / bare GTK" "$r" "<= 1.10" "$(verdict "$r" 1.10)"
# Size budgets, with the pictures drawn at five sizes and the hand at seven.
row "Ostrael.exe size, stripped (bytes)" "$size" "<= 262144" "$(verdict "$size" 262144)"
linux_size=$(stat -c %s "$ostrael")
row "ostrael size, stripped (bytes)" "$linux_size" "<= 716800" "$(verdict "$linux_size" 716800)"
if [ -n "$before" ]; then
  row "start-up, ostrael before / bare GTK" "$(ratio "$(median "$scratch/ostrael_before" 2)" "$(median "$scratch/gtk" 2)")" "" ""
  row "start-up, Ostrael.exe before / Win32 CC6+controls" "$(ratio "$(median "$scratch/exe_before" 2)" "$(median "$scratch/win32_controls" 2)")" "" ""
  row "start-up, ostrael now / before" "$(ratio "$(median "$scratch/ostrael" 2)" "$(median "$scratch/ostrael_before" 2)")" "" ""
  row "start-up, Ostrael.exe now / before" "$(ratio "$(median "$scratch/exe" 2)" "$(median "$scratch/exe_before" 2)")" "" ""
fi
echo
echo "Each series: start-up min / median / max (ms), median peak RSS (KiB), runs whose Expose raced the watcher"
for name in "${order[@]}"; do
  printf '  %-14s %-26s %8s KiB  raced %s\n' "$name" "$(spread "$scratch/$name" 2)" "$(median "$scratch/$name" 3)" \
    "$(awk '{ n += $4 } END { print n + 0 }' "$scratch/$name")"
done
echo "Noise (bare Xlib window, the floor): min / median / max $(spread "$scratch/xlib" 2) ms"
echo "Peak RSS under Wine is the loader's process and only indicative."
echo "Ostrael.exe timed: the $windows build. Imports: $("$windows-w64-mingw32-objdump" -p "$exe" | awk '/DLL Name/ { printf "%s ", $3 }')"
echo
echo "Handlers (Google Benchmark):"
"$bench/handlers_benchmark" --benchmark_min_time=0.5 2>/dev/null
echo "Moving the program's pages into memory at start (per start, KiB copied):"
"$bench/remap_benchmark" --benchmark_min_time=0.5 2>/dev/null
