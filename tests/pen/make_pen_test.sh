#!/usr/bin/env bash
# Lays out pens into plain, owned, read-only, oddly named and FAT32 destinations and reads them back.
set -uo pipefail
make_pen=$1
top=$(cd "$(dirname "$make_pen")/.." && pwd)
work=$(mktemp -d)
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount -l "$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

passed=0 failed=0 skipped=0
ok() { echo "ok      $1"; passed=$((passed + 1)); }
bad() { echo "FAILED  $1"; failed=$((failed + 1)); }
skip() { echo "skipped $1: $2"; skipped=$((skipped + 1)); }
check() { local name=$1; shift; if "$@"; then ok "$name"; else bad "$name"; fi; }

programs="$work/programs"
mkdir -p "$programs"
printf 'MZ windows program' > "$programs/Ostrael.exe"
printf '\177ELF linux program' > "$programs/ostrael"

pen() { "$make_pen" --programs "$programs" "$@"; }

laid_out() {  # every file in place, with the template's bytes
  local d=$1
  cmp -s "$d/Ostrael.exe" "$programs/Ostrael.exe" && cmp -s "$d/ostrael" "$programs/ostrael" &&
    cmp -s "$d/ostrael.ico" "$top/src/ui/assets/ostrael.ico" && cmp -s "$d/message.txt" "$top/pen/message.txt" &&
    cmp -s "$d/autorun.sh" "$top/pen/autorun.sh"
}

autorun_is_plain() {
  local f=$1/autorun.inf
  [ "$(cat "$f")" = $'[autorun]\r\nicon=ostrael.ico\r\nlabel='"$2"$'\r' ] && ! grep -qiE '^(open|shellexecute|shell)' "$f"
}

template_is_bom_crlf() {
  local f=$top/pen/message.txt
  [ "$(head -c3 "$f" | od -An -tx1 | tr -d ' ')" = efbbbf ] &&
    ! grep -q $'[^\r]$' <(tail -c +4 "$f") && grep -q 'If you found this drive' "$f"
}

no_leftovers() { [ -z "$(find "$1" -maxdepth 1 -name '.ostrael-*' -print -quit)" ]; }

# --- an empty folder
d="$work/empty"; mkdir "$d"
out=$(pen "$d")
check "empty folder gets every file" laid_out "$d"
check "autorun.inf has only icon and label" autorun_is_plain "$d" Ostrael
check "the Linux program is executable" test -x "$d/ostrael"
check "it says what it wrote" grep -q '^wrote  message.txt' <<<"$out"
check "it ends by saying the message is still the template" grep -q 'still the template' <<<"$(tail -n 2 <<<"$out")"
check "no staging files stay" no_leftovers "$d"
check "message template is UTF-8 with BOM and CRLF" template_is_bom_crlf

# --- a drive set up before: the owner's files are kept, the programs' files replaced
d="$work/owned"; mkdir "$d"
printf 'my own words' > "$d/message.txt"
printf '[autorun]\r\nlabel=MINE\r\n' > "$d/autorun.inf"
printf 'echo mine\n' > "$d/autorun.sh"
printf 'old' > "$d/Ostrael.exe"
out=$(pen --label NEWNAME "$d")
check "existing message.txt is kept" test "$(cat "$d/message.txt")" = "my own words"
check "existing autorun.inf is kept" grep -q MINE "$d/autorun.inf"
check "programs are updated" cmp -s "$d/Ostrael.exe" "$programs/Ostrael.exe"
check "autorun.sh is updated: it is the programs' starter" cmp -s "$d/autorun.sh" "$top/pen/autorun.sh"
check "it says what it left" grep -q '^kept   message.txt' <<<"$out"
check "a filled-in message: the pen is ready" test "$(tail -n 1 <<<"$out")" = "The pen in $d is ready."

# --- spaces and non-ASCII in the path, and a label
d="$work/my pen ünïcødé (2)"; mkdir "$d"
pen --label "Anna's pen" "$d" >/dev/null
check "path with spaces and non-ASCII" laid_out "$d"
check "label is written as given" autorun_is_plain "$d" "Anna's pen"

# --- autorun.sh under dash, on a drive whose program this machine cannot run
check "autorun.sh parses" sh -n "$top/pen/autorun.sh"
bin="$work/bin"; mkdir -p "$bin"
printf '#!/bin/sh\nprintf "%%s" "$1" > "$OPENED"\n' > "$bin/xdg-open"; chmod +x "$bin/xdg-open"
if command -v dash >/dev/null; then
  (cd "$d" && OPENED="$work/opened" PATH="$bin:$PATH" dash autorun.sh); rc=$?
  check "a program this machine cannot run: autorun.sh fails" test $rc -ne 0
  check "... and opens message.txt instead" test "$(cat "$work/opened" 2>/dev/null)" = "$d/message.txt"
else
  skip "autorun.sh under dash" "dash is not installed"
fi

# --- autorun.sh on a machine with the right processor but not the libraries the program needs: a
# stand-in program linked against version 2 of its library, on pens that carry that library, only its
# version 1 under the same soname (as an older C library lacks newer symbol versions), or none of it
if command -v dash >/dev/null && command -v cc >/dev/null; then
  s="$work/stand-in"; mkdir -p "$s/v1" "$s/v2"
  printf 'int stand_old(void) { return 1; }\n' > "$s/v1.c"
  printf 'int stand_old(void) { return 1; }\nint stand_new(void) { return 2; }\n' > "$s/v2.c"
  printf 'STAND_1 { global: stand_old; local: *; };\n' > "$s/v1.map"
  printf 'STAND_1 { global: stand_old; local: *; };\nSTAND_2 { global: stand_new; } STAND_1;\n' > "$s/v2.map"
  printf '#include <stdio.h>\nint stand_new(void);\nint main(void) { return printf("started %%d\\n", stand_new()) < 0; }\n' > "$s/main.c"
  for v in v1 v2; do
    cc -shared -fPIC -Wl,-soname,libstand.so.1 -Wl,--version-script,"$s/$v.map" -o "$s/$v/libstand.so.1" "$s/$v.c"
  done
  cc -o "$s/ostrael" "$s/main.c" -L"$s/v2" -l:libstand.so.1 -Wl,-rpath,'$ORIGIN'
  for library in v2 v1 none; do
    d="$work/stand-in pen $library"; mkdir "$d"
    cp "$top/pen/autorun.sh" "$top/pen/message.txt" "$s/ostrael" "$d"/
    [ "$library" = none ] || cp "$s/$library/libstand.so.1" "$d"/
    rm -f "$work/opened"
    out=$(cd "$d" && OPENED="$work/opened" PATH="$bin:$PATH" dash autorun.sh 2>&1); rc=$?
    opened=$(cat "$work/opened" 2>/dev/null)
    case $library in
      v2) check "stand-in with its library: autorun.sh starts it" test $rc -eq 0 -a "$out" = "started 2" -a -z "$opened" ;;
      v1) check "stand-in needing a symbol version its library lacks: message.txt opens" \
        test $rc -ne 0 -a "$opened" = "$d/message.txt" ;;
      none) check "stand-in whose library is not there: message.txt opens" \
        test $rc -ne 0 -a "$opened" = "$d/message.txt" ;;
    esac
  done
  # Three stand-ins this machine runs, so each passes the checks as a foreign program does under
  # binfmt and qemu; each prints its path and /proc/self/exe. The machine's own must win, and run
  # as the loader. Last, a 64-bit ARM kernel under a 32-bit system, where the arm64 one fails.
  d="$work/three programs"; mkdir "$d" "$s/machine"
  printf '%s\n' '#include <stdio.h>' '#include <unistd.h>' 'int main(int c, char **v) { char e[256] = "";' \
    '  return c < 1 || readlink("/proc/self/exe", e, 255) < 0 || printf("%s %s\n", v[0], e) < 0; }' > "$s/which.c"
  cc -o "$s/which" "$s/which.c" && for p in ostrael ostrael-arm64 ostrael-armhf; do cp "$s/which" "$d/$p"; done
  cp "$top/pen/autorun.sh" "$top/pen/message.txt" "$d"/
  printf '#!/bin/sh\necho "$MACHINE"\n' > "$s/machine/uname"; chmod +x "$s/machine/uname"
  loader=$(readlink -f "$(readelf -l "$s/which" | sed -n 's/.*interpreter: \(.*\)]$/\1/p')")
  for row in "x86_64 ostrael" "aarch64 ostrael-arm64" "armv7l ostrael-armhf" "armv8l ostrael-armhf" "armv6l ostrael" \
    "aarch64 ostrael-armhf"; do
    read -r m want <<<"$row"
    [ "$row" = "aarch64 ostrael-armhf" ] && printf '\177ELF for another machine' > "$d/ostrael-arm64"
    out=$(cd "$d" && MACHINE=$m PATH="$s/machine:$PATH" dash autorun.sh 2>&1)
    check "on $m autorun.sh starts $want through the loader" test "$out" = "$d/$want $loader"
  done
else
  skip "autorun.sh with a stand-in program" "dash or cc is not installed"
fi

# --- labels that could add lines or keys are refused, and nothing is written
d="$work/label"; mkdir "$d"
for label in $'x\r\nopen=evil.exe' "" "$(printf 'x%.0s' {1..33})" $'tab\there'; do
  pen --label "$label" "$d" >/dev/null 2>&1 && bad "label refused: $(printf %q "$label")"
done
check "refused labels write nothing" test -z "$(ls -A "$d")"

# --- a symlink at a program's name is replaced, never followed out of the destination
d="$work/links"; mkdir "$d"
printf 'outside' > "$work/outside"
ln -s "$work/outside" "$d/ostrael"
ln -s "$work/nowhere" "$d/message.txt"
pen "$d" >/dev/null
check "symlink target outside is untouched" test "$(cat "$work/outside")" = outside
check "symlink name now holds the program" cmp -s "$d/ostrael" "$programs/ostrael"
check "a dangling message.txt link counts as the owner's" test -L "$d/message.txt"

# --- destinations that cannot take a pen
out=$(pen "$work/missing" 2>&1); rc=$?
check "missing destination is an error" test $rc -ne 0 -a -n "$(grep 'does not exist' <<<"$out")"
printf 'x' > "$work/file"
check "a file is not a destination" bash -c '! "$@" >/dev/null 2>&1' _ "$make_pen" --programs "$programs" "$work/file"
d="$work/readonly"; mkdir "$d"
if [ "$(id -u)" -eq 0 ]; then
  if mount --bind "$d" "$d" 2>/dev/null && mount -o remount,bind,ro "$d" 2>/dev/null; then
    mounts+=("$d")
    out=$(pen "$d" 2>&1); rc=$?
    check "read-only destination is an error" test $rc -ne 0 -a -n "$(grep 'cannot be written' <<<"$out")"
    umount "$d"; mounts=()
    check "read-only destination is left empty" test -z "$(ls -A "$d")"
  else
    skip "read-only destination" "this machine refuses a read-only bind mount"
  fi
else
  chmod 555 "$d"
  pen "$d" >/dev/null 2>&1 && bad "read-only destination is an error" || ok "read-only destination is an error"
  check "read-only destination is left empty" test -z "$(ls -A "$d")"
fi

# --- a real FAT32 file system
img="$work/pen.img"
if command -v mkfs.vfat >/dev/null && command -v mcopy >/dev/null; then
  truncate -s 40M "$img"
  mkfs.vfat -F 32 -n OWNERPEN "$img" >/dev/null
  stage="$work/stage"; mkdir "$stage"
  pen --label OWNERPEN "$stage" >/dev/null
  MTOOLS_SKIP_CHECK=1 mcopy -i "$img" "$stage"/Ostrael.exe "$stage"/ostrael "$stage"/ostrael.ico \
    "$stage"/message.txt "$stage"/autorun.inf "$stage"/autorun.sh ::/
  back="$work/back"; mkdir "$back"
  MTOOLS_SKIP_CHECK=1 mcopy -i "$img" ::/Ostrael.exe ::/ostrael ::/ostrael.ico ::/message.txt ::/autorun.inf ::/autorun.sh "$back"/
  check "FAT32 image through mtools reads back" laid_out "$back"
  check "FAT32 image keeps autorun.inf" autorun_is_plain "$back" OWNERPEN

  mnt="$work/mnt"; mkdir "$mnt"
  if ! grep -qw vfat /proc/filesystems; then
    skip "mounted FAT32 drive" "this kernel has no vfat driver"
  elif [ "$(id -u)" -eq 0 ] && mount -o loop,uid=0,gid=0 "$img" "$mnt" 2>/dev/null; then
    mounts+=("$mnt")
    rm -f "$mnt"/message.txt "$mnt"/autorun.inf
    printf 'owner text' > "$mnt/message.txt"
    out=$(pen "$mnt"); rc=$?
    check "pen laid out on a mounted FAT32 drive" test $rc -eq 0
    check "mounted FAT32 keeps the owner's message" test "$(cat "$mnt/message.txt")" = "owner text"
    check "mounted FAT32 gets the programs" cmp -s "$mnt/Ostrael.exe" "$programs/Ostrael.exe"
    check "no staging files stay on FAT32" no_leftovers "$mnt"
    umount "$mnt"; mounts=()
  else
    skip "mounted FAT32 drive" "loop mounts need root"
  fi
else
  skip "FAT32 image" "mkfs.vfat or mtools missing"
fi

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
