#!/bin/sh
# Ostrael.exe under Wine from a pen folder, clicked through a session by post_clicks.exe: the
# folder's files, sizes, contents and modification and change times must be as they were.
#   wine_never_writes.sh WINE_RUN OSTRAEL_EXE POST_CLICKS_EXE
set -eu
wine_run=$1 exe=$2 clicker=$3
pen=$(mktemp -d)
trap 'rm -rf "$pen"' EXIT
cp "$exe" "$pen/Ostrael.exe"
printf 'If found, please call 555-0100.\r\nObrigado!\r\n' >"$pen/message.txt"
mkdir "$pen/photos"
printf 'a cat' >"$pen/photos/cat.txt"

# Every entry with its size, modification and change times (nanoseconds) and a content hash.
snapshot() {
  (cd "$pen" && find . -printf '%p %y %s %T@ %C@\n' | sort && find . -type f -exec sha256sum {} + | sort)
}
before=$(snapshot)
sleep 0.05  # so that a rewrite with the same bytes still shows as a new time

"$wine_run" "$pen/Ostrael.exe" &
program=$!
"$wine_run" "$clicker"
wait "$program"

after=$(snapshot)
if [ "$before" != "$after" ]; then
  echo "The pen folder changed during the session:"
  printf '%s\n' "$before" >"$pen.before"
  printf '%s\n' "$after" | diff "$pen.before" - || true
  rm -f "$pen.before"
  exit 1
fi
echo "The pen folder is as it was: $(printf '%s\n' "$before" | grep -c ' f ') files unchanged."
