# Shared by bench/run.sh and bench/win32_parts.sh: a private X server, a warm Wine, cleaning up
# after both, and the statistics of the timed series. Source it with `scratch` set to a fresh
# temporary folder; it takes over the EXIT trap.
xvfb_pid=
bus_pid=
bench_cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap bench_cleanup EXIT

bench_start_xvfb() {
  exec 3>"$scratch/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$scratch/display")"
}

bench_warm_wine() {  # prefix
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # Warm: a persistent server, and a prefix made before the first timed run. The server starts
  # in the prefix's folder and refuses one that does not exist yet, as in a fresh build tree.
  mkdir -p "$WINEPREFIX"
  wineserver -k 2>/dev/null || true
  wineserver -p
  wineboot -i >/dev/null 2>&1
  # Wine ends its desktop and services when the last program leaves, and the next program to
  # start pays for bringing them back. A program that waits on a pipe for the whole run keeps
  # them up, so each timed start is a warm one; it ends when the script closes the pipe.
  mkfifo "$scratch/keep-warm"
  wine cmd.exe <"$scratch/keep-warm" >/dev/null 2>&1 &
  exec 4>"$scratch/keep-warm"
}

column() {  # file field -> sorted values
  awk -v f="$2" '{ print $f }' "$1" | sort -g
}
median() { column "$1" "$2" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
spread() { column "$1" "$2" | awk '{ v[NR] = $1 } END { printf "%.1f / %.1f / %.1f", v[1], v[int((NR + 1) / 2)], v[NR] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
