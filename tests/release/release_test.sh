#!/usr/bin/env bash
# The release kit: built twice, here and from a copy of the tree at another path with other
# builder settings, it must come out the same byte for byte; then, unzipped, it must check out
# and work. Needs the linux build of this tree and its Windows test build (windows-i686, or
# windows-x86_64 where this host runs no 32-bit x86 code) for the two window harnesses, and root,
# for the chroot into Debian 11.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAILED  $*"; status=1; }

echo "== kit, as built here"
(cd "$top" && tools/release.sh --allow-dirty) || { echo "FAILED  the first build"; exit 1; }
version=$(cat "$top/build/release-linux/ostrael-version.txt")
name=ostrael-$version

# The second builder: another path with a space in it, another time zone, locale and umask, and
# one job instead of all. The copy keeps .git, so both take their time from the same commit. It
# builds against the same Debian 11 trees rather than fetching them again, through a link in its
# own build/, so that the compiler and the linker see them under the spaced path.
other="$work/other builder/ostrael"
mkdir -p "$other/build"
tar -C "$top" --exclude=./build --exclude=./dist --exclude=./artifacts -cf - . | tar -C "$other" -xf -
sysroots=${OSTRAEL_SYSROOTS:-$top/build/sysroot}  # the trees this checkout's builds used
ln -s "$sysroots" "$other/build/sysroot"
echo "== kit, as built in a copy of the tree at another path"
(
  unset OSTRAEL_SYSROOTS
  cd "$other" && umask 077 && TZ=Pacific/Kiritimati LC_ALL=de_DE.UTF-8 tools/release.sh --allow-dirty --jobs 1
) || { echo "FAILED  the second build"; exit 1; }

# Same files, same bytes; a difference is named with its first differing offset.
a="$top/dist" b="$other/dist"
if ! diff <(cd "$a" && find "$name" "$name.zip" "$name.zip.sha256" -type f | sort) \
          <(cd "$b" && find "$name" "$name.zip" "$name.zip.sha256" -type f | sort); then
  fail "the two kits hold different files"
fi
while IFS= read -r -d '' f; do
  if [ -f "$b/$f" ] && ! difference=$(cmp -- "$a/$f" "$b/$f" 2>&1); then
    fail "$f differs: ${difference#*differ: }"
  fi
done < <(cd "$a" && find "$name" "$name.zip" "$name.zip.sha256" -type f -print0)
[ $status -eq 0 ] && echo "ok      both builds are identical: $(cut -d' ' -f1 "$a/$name.zip.sha256")"

# The kit as an owner gets it.
unzipped="$work/unzipped"
mkdir "$unzipped"
unzip -q "$a/$name.zip" -d "$unzipped" || fail "the zip does not unzip"
kit="$unzipped/$name"
(cd "$kit" && sha256sum --quiet -c SHA256SUMS) && echo "ok      SHA256SUMS checks out" || fail "SHA256SUMS"
[ -x "$kit/pen/ostrael" ] && [ -x "$kit/pen/ostrael-arm64" ] && [ -x "$kit/pen/ostrael-armhf" ] &&
  [ -x "$kit/pen/autorun.sh" ] && [ ! -x "$kit/pen/Ostrael.exe" ] || fail "file modes after unzip"
grep -qx "$(git -C "$top" rev-parse HEAD)\( with uncommitted changes\)\?" "$kit/COMMIT" &&
  echo "ok      COMMIT names the commit: $(cat "$kit/COMMIT")" || fail "COMMIT: $(cat "$kit/COMMIT")"

# A drive set up from the kit: pen/, then first-time/. Updating a drive is copying a newer pen/
# over it with every file replaced, so the owner's own two files must live only in first-time/.
drive="$work/drive set up from the kit"
mkdir "$drive" && cp -r "$kit/pen/." "$kit/first-time/." "$drive/"
[ ! -e "$kit/pen/message.txt" ] && [ ! -e "$kit/pen/autorun.inf" ] &&
  [ "$(ls -A "$kit/first-time" | tr '\n' ' ')" = "autorun.inf message.txt " ] &&
  echo "ok      pen/ holds none of the owner's files, so copying it over a drive keeps them" ||
  fail "pen/ and first-time/: $(ls -A "$kit/pen" "$kit/first-time" | tr '\n' ' ')"

# Each Linux program loads on the oldest systems OWNER.txt names (RHEL 8, Debian 10, Ubuntu 18.10):
# no version it asks of a system library is newer than theirs. glibc is 2.28 on all three, and
# util-linux (libmount, libblkid) 2.32 at the oldest. Of libgcc_s only the unwinder is asked for,
# whose newest entry point, _Unwind_GetIPInfo, has been GCC_4.2.0 since 2007 (32-bit ARM's has none
# and asks for GCC_3.5 at most). libstdc++ is linked in: a GLIBCXX or CXXABI version fails, as does
# any library the table does not name.
declare -A ceiling=([GLIBC]=2.28 [GCC]=4.2.0 [MOUNT]=2.32 [BLKID]=2.32)
for program in ostrael ostrael-arm64 ostrael-armhf; do
  # The newest version the program asks of each library, from its version needs.
  newest=$(readelf -V --wide "$kit/pen/$program" |
    awk '/^Version needs/ { on = 1 } /^Version (symbols|definition)/ { on = 0 } on && $2 == "Name:" { print $3 }' |
    sort -V | awk '{ library = $0; sub(/_[^_]*$/, "", library); last[library] = $0 } END { for (l in last) print last[l] }' | sort)
  too_new=""
  for need in $newest; do
    wanted=${need##*_} limit=${ceiling[${need%_*}]:-none}
    [[ $wanted =~ ^[0-9.]+$ ]] && [ "$limit" != none ] && [ "$(printf '%s\n' "$wanted" "$limit" | sort -V | tail -n 1)" = "$limit" ] ||
      too_new+=" $need (limit: $limit)"
  done
  if [ -n "$newest" ] && [ -z "$too_new" ]; then
    echo "ok      $program needs at most $(tr '\n' ' ' <<<"$newest")"
  else
    fail "$program asks for too new a system:$too_new"
  fi
done
[ -s "$kit/OWNER.txt" ] && ! grep -q $'[^\r]$' "$kit/OWNER.txt" || fail "OWNER.txt has CRLF line ends"

# Each Linux program from the kit, here, inside Debian 11, and the ARM ones under qemu-user; the
# screenshots of all but the first come from the same libraries and must be the same window, but
# for 32-bit ARM's rounding of antialiased text (one step of 255).
shots="$top/artifacts/gtk"
rm -f "$shots"/kit-*.png
OSTRAEL_KIT_PEN="$drive" OSTRAEL_SYSROOTS="$sysroots" OSTRAEL_IN_DEBIAN11="$top/tests/release/in_debian11.sh" \
  "$top/build/linux/tests/gtk/gtk_program_test" --gtest_filter='*Kit.*' \
  && echo "ok      the kit's Linux programs show the template message and the report" || fail "the Linux programs from the kit"
for machine in arm64 armhf; do
  if differ=$(compare -metric AE -fuzz 1% "$shots/kit-debian11.png" "$shots/kit-$machine.png" null: 2>&1) && [ "$differ" = 0 ]; then
    echo "ok      the $machine window is the x86-64 window"
  else
    fail "the $machine window differs from the x86-64 one in ${differ:-?} pixels"
  fi
done

# The shipped Ostrael.exe, read from the file: a 32-bit Windows GUI program that Windows copies to
# the page file from removable and network media, with its checksum right, within its size, and
# with the DLLs, resources and manifest of the Windows build the tests ran, but for the processor.
exe="$kit/pen/Ostrael.exe" status_before=$status status=0
windows=$("$top/tools/windows-tests.sh") || exit 1
tested="$top/build/windows-$windows/bin/Ostrael.exe"
tools=$windows-w64-mingw32  # the binutils that read both programs
headers=$("$tools-objdump" -p "$exe")
imports() { "$tools-objdump" -p "$1" | awk '/DLL Name:/ { print toupper($3) }' | sort; }
# Every resource, decompiled; the manifest of a build for x86_64 names amd64 where the shipped one
# names x86.
resources() { "$tools-windres" -i "$1" -O rc | sed 's/processorArchitecture=""amd64""/processorArchitecture=""x86""/g'; }
grep -q 'Magic.*(PE32)$' <<<"$headers" && grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" ||
  fail "Ostrael.exe is not a 32-bit Windows GUI program"
PYTHONPATH="$top/cmake" python3 -c 'import sys, pe_run_from_swap as p; d = open(sys.argv[1], "rb").read(); sys.exit(p.mark(d) != d)' "$exe" ||
  fail "Ostrael.exe lacks the run-from-swap flags or its checksum is wrong"
[ $(( $(awk '/^DllCharacteristics/ { print "0x" $2 }' <<<"$headers") & 0x8140 )) -eq $((0x8140)) ] ||
  fail "Ostrael.exe lacks ASLR, DEP or terminal-server awareness"
[ "$(stat -c %s "$exe")" -le $((256 * 1024)) ] || fail "Ostrael.exe is $(stat -c %s "$exe") bytes, over 256 KiB"
[ -n "$(imports "$exe")" ] && [ "$(imports "$exe")" = "$(imports "$tested")" ] ||
  fail "Ostrael.exe imports $(imports "$exe" | tr '\n' ' ')where the tested build imports $(imports "$tested" | tr '\n' ' ')"
[ "$(grep -ao 'processorArchitecture="[^"]*"' "$exe" | sort -u)" = 'processorArchitecture="x86"' ] &&
  cmp -s <(resources "$exe") <(resources "$tested") || fail "Ostrael.exe holds other resources than the tested build"
[ $status -eq 0 ] && echo "ok      Ostrael.exe is a 32-bit GUI program that runs from swap, $(stat -c %s "$exe") bytes, with the tested build's imports and resources"
status=$((status | status_before))

# Then the window, on the shipped program where this host runs 32-bit code, and otherwise on the
# x86_64 build of the same commit put in its place.
pen=$drive what="Ostrael.exe from the kit"
if [ "$windows" = x86_64 ]; then
  echo "note    the kit's 32-bit Ostrael.exe runs in the emulated PC instead: $("$top/tools/windows-tests.sh" --reason)"
  pen="$work/drive set up from the kit, with the x86_64 build" what="the x86_64 Ostrael.exe on a drive set up from the kit"
  cp -a "$drive" "$pen"
  cp "$tested" "$pen/Ostrael.exe"
  export PATH="$top/cmake/wine64:$PATH"
fi
OSTRAEL_E2E_MADE="$pen" GTEST_FILTER='EndToEnd.APenMadeForAnOwner*' sh "$top/tests/win32/run_end_to_end.sh" \
  "$pen/Ostrael.exe" "$top/build/windows-$windows/tests/win32/end_to_end.exe" "$work/e2e" "$work/e2e-artifacts" \
  && echo "ok      $what shows the template message" || fail "$what"

pen="$work/pen made from the kit"
mkdir "$pen"
"$top/tools/make-pen.sh" --programs "$kit/pen" "$pen" >/dev/null && diff -r "$pen" "$drive" &&
  [ -x "$pen/ostrael" ] && echo "ok      make-pen lays out from the kit the pen the kit's two folders make" || fail "make-pen from the kit"

exit $status
