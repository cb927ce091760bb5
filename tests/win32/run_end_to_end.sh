#!/bin/sh
# Drives the end-to-end harness: a private Xvfb, a Wine prefix with a virtual desktop, a folder
# mapped as drive P: with a label and serial, then the harness itself and its screenshots; then
# its dpi tests again in a copy of the prefix at 120, 144, 168 and 192 dpi, and its high-contrast
# test in another with a dark scheme. With OSTRAEL_E2E_ONLY set to a gtest filter it runs only
# those tests, at 96 dpi (the emulated PC, tests/guest/).
# Usage: run_end_to_end.sh Ostrael.exe end_to_end.exe work-dir artifacts-dir
set -eu
exe=$1 harness=$2 work=$3 artifacts=$4

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=en_US.UTF-8
mkdir -p "$work" "$artifacts"
pen="$work/pen"
xvfb_pid=

# The 96 dpi prefix, and its scaled and dark copies: each has a wineserver of its own while in use.
stop_wine() {
  for prefix in "$work"/prefix "$work"/prefix-*; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  done
}
cleanup() {
  stop_wine
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$work"/prefix*/dosdevices/p:
  rm -rf "$pen"
}
trap cleanup EXIT INT TERM
# A Wine session left from an interrupted run would keep drawing on its own, dead display.
stop_wine

rm -f "$work/display"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"

# The prefix is made once and kept with the build.
[ -f "$WINEPREFIX/system.reg" ] || sh "$(dirname "$0")/make_prefix.sh"
# The title bar's buttons are Marlett glyphs. Debian's Wine looks for the fonts of fonts-wine under a
# path it cannot open, and without the font draws the letters "0 1 r"; the prefix's own font folder
# is always searched.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  ln -sf /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
fi

# The pen: Wine reads a mapped drive's label and serial from these two files at its root.
rm -rf "$pen"
mkdir -p "$pen/fifo"
printf 'OWNERPEN\n' >"$pen/.windows-label"
printf '8a4c1e3d\n' >"$pen/.windows-serial"
cp "$exe" "$pen/Ostrael.exe"
mkfifo "$pen/fifo/message.txt"
# A pen laid out the way an owner makes one; only the Windows program matters here. With
# OSTRAEL_E2E_MADE it is that folder instead, as it lies (the release kit's pen).
if [ -n "${OSTRAEL_E2E_MADE:-}" ]; then
  ln -s "$OSTRAEL_E2E_MADE" "$pen/made"
else
  programs="$work/programs"
  mkdir -p "$programs" "$pen/made"
  cp "$exe" "$programs/Ostrael.exe"
  printf 'not run here' >"$programs/ostrael"
  "$(dirname "$0")/../../tools/make-pen.sh" --programs "$programs" "$pen/made" >/dev/null
fi
ln -sfn "$pen" "$WINEPREFIX/dosdevices/p:"

rm -f "$artifacts"/*.bmp "$artifacts"/*.ppm "$artifacts/msaa-tree.txt"
status=0
export OSTRAEL_E2E_DRIVE=P: OSTRAEL_E2E_ARTIFACTS="$(winepath -w "$artifacts" 2>/dev/null)"
export OSTRAEL_E2E_ASSETS="$(winepath -w "$(dirname "$0")/../../src/ui/assets" 2>/dev/null)"
wine "$harness" --gtest_filter="${OSTRAEL_E2E_ONLY:-*}" || status=$?
if [ -z "${OSTRAEL_E2E_ONLY:-}" ]; then
  # Wine takes its one dpi from LogPixels in the prefix, and only a session started after the
  # change has it throughout. A copy of the prefix keeps the one above at 96 dpi.
  wineserver -k
  [ -f "$work/prefix-scaled/system.reg" ] || cp -a "$WINEPREFIX" "$work/prefix-scaled"
  export WINEPREFIX="$work/prefix-scaled"
  ln -sfn "$pen" "$WINEPREFIX/dosdevices/p:"
  # 168 dpi has no drawing of its own; there only the window made in the harness is compared with
  # one moved there from other scales.
  for dpi in 120 144 168 192; do
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    wineserver -w
    filter='EndToEnd.ThePicturesAreMadeForTheDpi*:InThisProcess.*'
    [ $dpi = 168 ] && filter='InThisProcess.*'
    wine "$harness" --gtest_filter="$filter" || status=$?
  done

  # A high-contrast scheme, as Windows' "Night sky" sets it: the face and the window black, their
  # text white. Wine reads the colours when a session starts, in a copy of the 96 dpi prefix.
  wineserver -k
  [ -f "$work/prefix-dark/system.reg" ] || cp -a "$work/prefix" "$work/prefix-dark"
  export WINEPREFIX="$work/prefix-dark"
  ln -sfn "$pen" "$WINEPREFIX/dosdevices/p:"
  # High contrast also turns visual styles off, so that scroll bars and frames are drawn in these
  # colours and not from the style's bitmaps.
  for colour in ButtonFace:'0 0 0' Window:'0 0 0' Scrollbar:'0 0 0' ButtonText:'255 255 255' WindowText:'255 255 255'; do
    wine reg add 'HKCU\Control Panel\Colors' /v "${colour%%:*}" /d "${colour#*:}" /f >/dev/null 2>&1
  done
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' /v ThemeActive /d 0 /f >/dev/null 2>&1
  wineserver -w
  wine "$harness" --gtest_filter='EndToEnd.ThePicturesAreMadeForTheDpi*' || status=$?
fi

for bmp in "$artifacts"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done

# What a sighted finder sees stays as it was: these screenshots match the kept ones pixel for
# pixel, since Wine under Xvfb draws the same window the same way every run. A mismatch leaves
# the differences beside the screenshot; after a change to the window that is meant, the new
# screenshots replace the kept ones. Text1's caret blinks at the start of its first line once a
# press has activated the window, so that spot, half as large again at 144 dpi, is left out of the
# comparison.
for reference in "$(dirname "$0")"/reference/*.png; do
  shot="$artifacts/$(basename "$reference")"
  [ -e "$shot" ] || continue
  caret='rectangle 20,36 28,58'
  case $shot in *-144.png) caret='rectangle 30,54 42,87' ;; esac
  convert "$reference" -fill magenta -draw "$caret" "$work/reference.png"
  convert "$shot" -fill magenta -draw "$caret" "$work/shot.png"
  if ! compare -metric AE "$work/reference.png" "$work/shot.png" "${shot%.png}-differences.png" 2>/dev/null; then
    echo "$(basename "$shot") differs from $reference; see ${shot%.png}-differences.png" >&2
    status=1
  else
    rm -f "${shot%.png}-differences.png"
  fi
done
# So does what a screen reader finds: the MSAA tree the harness writes as text.
tree="$artifacts/msaa-tree.txt"
if [ -e "$tree" ] && ! diff -u "$(dirname "$0")/reference/msaa-tree.txt" "$tree" >&2; then
  echo "$tree differs from the kept one" >&2
  status=1
fi
exit $status
