#!/usr/bin/env bash
# Lays out a pen: the Windows program, the Linux programs for x86-64, arm64 and armhf, the drive's
# icon, and the owner's message.txt, autorun.inf and autorun.sh unless the drive already has its own.
#
#   tools/make-pen.sh [--label TEXT] [--programs DIR] DESTINATION
#
# DESTINATION is normally the mounted drive. --label sets the drive's name in the Windows file
# manager (printable ASCII, at most 32 characters; default "Ostrael"). --programs takes
# Ostrael.exe, ostrael, ostrael-arm64 and ostrael-armhf from DIR (the ARM ones if there) instead of
# this tree's release builds, which are made if missing.
set -euo pipefail

usage() { echo "usage: $0 [--label TEXT] [--programs DIR] DESTINATION" >&2; exit 2; }
fail() { echo "make-pen: $*" >&2; exit 1; }

top=$(cd "$(dirname "$0")/.." && pwd)
label="Ostrael"
programs=""
while [ $# -gt 0 ]; do
  case "$1" in
    --label) [ $# -ge 2 ] || usage; label=$2; shift 2 ;;
    --programs) [ $# -ge 2 ] || usage; programs=$2; shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] || usage
dest=$1

# A label goes into autorun.inf as one line: nothing that could start another line or key.
LC_ALL=C
[[ ${#label} -le 32 && $label =~ ^[\ -~]+$ ]] || fail "the label must be 1 to 32 printable ASCII characters"

[ -e "$dest" ] || fail "$dest does not exist"
[ -d "$dest" ] || fail "$dest is not a folder"
[ -w "$dest" ] || fail "$dest cannot be written"

# Each program and the build that makes it.
names=(Ostrael.exe ostrael ostrael-arm64 ostrael-armhf)
presets=(windows-i686 release-linux release-linux-arm64 release-linux-armhf)
sources=()
for i in "${!names[@]}"; do
  if [ -n "$programs" ]; then
    sources+=("$programs/${names[$i]}")
    continue
  fi
  out="$top/build/${presets[$i]}/bin/${names[$i]%-*}"  # every Linux build names its program ostrael
  if [ ! -f "$out" ]; then
    echo "Building ${presets[$i]} ..."
    { cmake --preset "${presets[$i]}" && cmake --build --preset "${presets[$i]}" -j"$(nproc)"; } >/dev/null
  fi
  sources+=("$out")
done
for f in "${sources[@]:0:2}"; do [ -f "$f" ] || fail "$f is missing"; done

# Everything is first written beside its final name inside the destination, then renamed into
# place: a failure leaves no half-written file, and a symlink already standing at a name is
# replaced rather than followed out of the destination.
staged=()
cleanup() { for f in "${staged[@]}"; do rm -f -- "$f"; done; }
trap cleanup EXIT

stage() {  # stage NAME SOURCE [MODE [strip]]
  local tmp
  tmp=$(mktemp "$dest/.ostrael-XXXXXX") || fail "cannot write in $dest"
  staged+=("$tmp")
  # The build keeps its debug information; the drive does not need it.
  if [ "${4:-}" = strip ] && command -v strip >/dev/null && strip -o "$tmp" -- "$2" 2>/dev/null; then
    :
  else
    cat -- "$2" > "$tmp" || fail "cannot write $1 in $dest"
  fi
  chmod "${3:-644}" "$tmp" 2>/dev/null || true  # FAT has no modes
  targets+=("$1")
}

exists() { [ -e "$dest/$1" ] || [ -L "$dest/$1" ]; }

targets=()
kept=()
stage Ostrael.exe "${sources[0]}"
stage ostrael "${sources[1]}" 755 strip
# The ARM programs as they are: the host's strip may or may not know their format, and the kit
# must not depend on which. The release builds come stripped.
for i in 2 3; do
  if [ -f "${sources[$i]}" ]; then stage "${names[$i]}" "${sources[$i]}" 755; fi
done
stage ostrael.ico "$top/src/ui/assets/ostrael.ico"
if exists message.txt; then kept+=(message.txt); else stage message.txt "$top/pen/message.txt"; fi
if exists autorun.inf; then
  kept+=(autorun.inf)
else
  # Only the look of the drive: modern Windows ignores open= and shellexecute=, and they alarm
  # security tools.
  stage autorun.inf <(printf '[autorun]\r\nicon=ostrael.ico\r\nlabel=%s\r\n' "$label")
fi
# What the Linux desktop offers to run when the drive is plugged in.
if exists autorun.sh; then kept+=(autorun.sh); else stage autorun.sh "$top/pen/autorun.sh" 755; fi
sync -f "$dest" 2>/dev/null || true

for i in "${!targets[@]}"; do
  mv -f -T -- "${staged[$i]}" "$dest/${targets[$i]}" || fail "cannot put ${targets[$i]} in place in $dest"
  staged[$i]=""
done
sync -f "$dest" 2>/dev/null || true

for f in "${targets[@]}"; do echo "wrote  $f"; done
for f in "${kept[@]}"; do echo "kept   $f (the drive's own; not changed)"; done
echo "The pen in $dest is ready."
