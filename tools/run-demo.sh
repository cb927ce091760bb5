#!/usr/bin/env bash
# Builds the Linux program, lays out a demo pen under build/demo-pen and starts it from there.
# With no display it runs under Xvfb, saves a screenshot, says where, and ends.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target ostrael -j2

pen=build/demo-pen
rm -rf "$pen"
mkdir -p "$pen"
cp build/linux/bin/ostrael "$pen/"
printf '%s\r\n' \
  "Hello! This pen belongs to Ana Example." \
  "" \
  "If you found it, please write to ana@example.org or call 555-0100." \
  "Thank you, and have a nice day." >"$pen/message.txt"
echo "Demo pen: $pen"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$pen/ostrael"
fi

# No display: a private Xvfb, one screenshot, and everything we started is ended again.
shot_dir=artifacts/demo
mkdir -p "$shot_dir"
display_file=$(mktemp)
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$display_file"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"

"$pen/ostrael" &
program_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Ostrael $' | head -n1)
sleep 1  # let the first paint finish
import -window "$window" "$shot_dir/ostrael.png"
echo "No display: ran under Xvfb. Screenshot: $shot_dir/ostrael.png"
