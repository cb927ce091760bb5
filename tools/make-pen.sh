#!/usr/bin/env bash
# Lays out a pen: the Windows program, the Linux programs for x86-64, arm64 and armhf, the drive's
# icon and autorun.sh, which are the programs' and always replaced; and the owner's message.txt and
# autorun.inf, written only where the drive has none.
#
#   tools/make-pen.sh [--label TEXT] [--programs DIR] DESTINATION
#
# DESTINATION is normally the mounted drive. --label sets the drive's name in the Windows file
# manager (printable ASCII, at most 32 characters; default "Ostrael"). Without --programs it first
# brings this tree's release builds up to date, the presets tools/release.sh builds the kit with;
# --programs takes Ostrael.exe, ostrael, ostrael-arm64 and ostrael-armhf from DIR (the ARM ones if
# there) instead.
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
presets=(release-windows-i686 release-linux release-linux-arm64 release-linux-armhf)
trees=("" amd64 arm64 armhf)

# The first configure of a Linux preset fetches its Debian 11 tree (about 600 MB), and says nothing
# for a minute or more while it does: show the tree growing.
show_fetch() {  # show_fetch TREE
  while sleep 10; do
    [ -d "$1.part" ] && echo "  ... $(du -sm "$1.part" 2>/dev/null | cut -f1) MB of the Debian 11 tree so far"
  done
}

# Built every time, so that after a pull the drive gets what the tree says now: a tree already
# configured is only built again, which takes seconds when nothing changed.
build() {  # build INDEX
  local preset=${presets[$1]} dir=$top/build/${presets[$1]} tree watcher="" rc=0
  if [ ! -f "$dir/CMakeCache.txt" ] || { [ ! -f "$dir/build.ninja" ] && [ ! -f "$dir/Makefile" ]; }; then
    echo "== configure $preset"
    tree=${OSTRAEL_SYSROOTS:-$top/build/sysroot}/${trees[$1]}
    if [ -n "${trees[$1]}" ] && [ ! -f "$tree/.complete" ]; then
      echo "  (fetching the Debian 11 ${trees[$1]} tree into $tree, once: about 600 MB from Debian's mirror)"
      show_fetch "$tree" & watcher=$!
    fi
    (cd "$top" && cmake --preset "$preset") || rc=$?
    [ -z "$watcher" ] || kill "$watcher" 2>/dev/null
    [ $rc -eq 0 ] || fail "could not configure $preset"
  fi
  echo "== build $preset"
  (cd "$top" && cmake --build --preset "$preset" -j"$(nproc)") || fail "the $preset build failed"
}

# Building takes the whole tool chain: say what is missing before the first configure fails.
# An owner who only wants a drive needs none of it: the release kit's pen/ holds the programs.
if [ -z "$programs" ]; then
  missing=()
  for pair in cmake:cmake g++:g++ pkg-config:pkg-config python3:python3 mmdebstrap:mmdebstrap \
    i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix aarch64-linux-gnu-g++:crossbuild-essential-arm64 \
    arm-linux-gnueabihf-g++:crossbuild-essential-armhf; do
    command -v "${pair%%:*}" >/dev/null || missing+=("${pair#*:}")
  done
  [ ${#missing[@]} -eq 0 ] || fail "building the programs needs: ${missing[*]}
  Install them (as root: apt-get install --no-install-recommends ${missing[*]}), or copy the
  release kit's pen/ folder onto the drive instead (see the README's \"Get Ostrael\")."
fi

if [ -z "$programs" ]; then
  # The release presets stamp Ostrael.exe with SOURCE_DATE_EPOCH, as tools/release.sh sets it.
  epoch=$(git -C "$top" log -1 --format=%ct 2>/dev/null) || epoch=""
  [ -z "$epoch" ] || export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$epoch}
fi
sources=()
for i in "${!names[@]}"; do
  if [ -n "$programs" ]; then
    sources+=("$programs/${names[$i]}")
  else
    build "$i"
    sources+=("$top/build/${presets[$i]}/bin/${names[$i]%-*}")  # every Linux build names its program ostrael
  fi
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
# What the Linux desktop offers to run when the drive is plugged in: the programs' own starter, so
# an older one would keep older behaviour.
stage autorun.sh "$top/pen/autorun.sh" 755
sync -f "$dest" 2>/dev/null || true

for i in "${!targets[@]}"; do
  mv -f -T -- "${staged[$i]}" "$dest/${targets[$i]}" || fail "cannot put ${targets[$i]} in place in $dest"
  staged[$i]=""
done
sync -f "$dest" 2>/dev/null || true

for f in "${targets[@]}"; do echo "wrote  $f"; done
for f in "${kept[@]}"; do echo "kept   $f (the drive's own; not changed)"; done
# A regular file only: grep would wait forever on a FIFO standing at that name.
if [ -f "$dest/message.txt" ] &&
  grep -qF -e '[your name]' -e '[phone number or e-mail address]' -e '[what you offer' "$dest/message.txt"; then
  echo "Not finished: message.txt in $dest is still the template."
  echo "Open it, put your name, how to reach you and the reward in place of the [brackets], and save it."
else
  echo "The pen in $dest is ready."
fi
