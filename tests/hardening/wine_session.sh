#!/bin/sh
# Runs a command in a Wine session of its own: a private Xvfb display and a Wine prefix kept in
# the build tree for these checks, whose server is ended afterwards.
#   wine_session.sh PREFIX COMMAND [ARGUMENTS...]
set -eu
export WINEPREFIX="$1"
shift
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 &
xvfb=$!
i=0
while [ ! -s "$dir/display" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
export DISPLAY=":$(cat "$dir/display")"
status=0
"$@" || status=$?
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
kill "$xvfb" 2>/dev/null || true
wait "$xvfb" 2>/dev/null || true
rm -rf "$dir"
exit $status
