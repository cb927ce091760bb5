#!/bin/sh
# Starts Ostrael from this drive. The desktop runs it from the drive's root ("/bin/sh autorun.sh")
# when the finder accepts its offer to start the drive's software; `sh /media/.../autorun.sh` from
# anywhere does the same. It writes nothing, and starts nothing but the program, or a viewer for
# message.txt when the program cannot run on this machine.
unset CDPATH

# The drive's root is this script's folder. The x keeps a newline that may end its name.
case $0 in
  */*) dir=${0%/*}/ ;;
  *) dir=./ ;;
esac
root=$(cd -P -- "$dir" && pwd -P && echo x) || exit 1
root=${root%??}

give_up() {
  if [ -f "$root/message.txt" ] && command -v xdg-open >/dev/null 2>&1; then
    xdg-open "$root/message.txt" >/dev/null 2>&1
  fi
  exit 1
}

# An unsigned number of $2 bytes at offset $1 of the program, in this machine's byte order.
num() { od -An -tu"$2" -j "$1" -N "$2" "$prog" 2>/dev/null | tr -d ' \n'; }
small() { case $1 in '' | *[!0-9]* | ?????????*) return 1 ;; esac; }

# The loader the program names for itself (its PT_INTERP header), read without running anything.
interpreter() {
  [ "$(od -An -tx1 -N4 "$prog" 2>/dev/null | tr -d ' \n')" = 7f454c46 ] || return
  case $(num 4 1) in
    1) w=4 phoff=$(num 28 4) phent=$(num 42 2) phnum=$(num 44 2) ;;
    2) w=8 phoff=$(num 32 8) phent=$(num 54 2) phnum=$(num 56 2) ;;
    *) return ;;
  esac
  small "$phoff" && small "$phent" && small "$phnum" && [ "$phnum" -lt 100 ] || return
  i=0
  while [ "$i" -lt "$phnum" ]; do
    at=$((phoff + i * phent))
    if [ "$(num "$at" 4)" = 3 ]; then
      off=$(num $((at + w)) "$w") size=$(num $((at + 4 * w)) "$w")
      small "$off" && small "$size" && [ "$size" -gt 1 ] && [ "$size" -lt 4096 ] || return
      dd if="$prog" bs=1 skip="$off" count=$((size - 1)) 2>/dev/null
      return
    fi
    i=$((i + 1))
  done
}

# The loaders worth asking: the program's own, then those ldd tries on this system (RTLDLIST).
loaders() {
  printf '%s\n' "$interp"
  ldd=$(command -v ldd) && sed -n 's/^RTLDLIST=//p' "$ldd" 2>/dev/null | tr -d '"' | tr ' ' '\n'
}

# Starts the program $1 of this drive if this machine can run it, and returns if it cannot.
try() {
  prog=$root/$1
  [ -f "$prog" ] || return
  interp=$(interpreter)
  # The first loader that says it can load the program, as ldd asks it: this also refuses a
  # program for another machine and a drive mounted noexec.
  loader=$(loaders | while IFS= read -r ld; do
    case $ld in /*) ;; *) continue ;; esac
    case ${ld##*/} in ld-*.so* | ld.so* | ld64.so*) ;; *) continue ;; esac
    [ -f "$ld" ] && [ -x "$ld" ] || continue
    "$ld" --verify "$prog" >/dev/null 2>&1
    case $? in 0 | 2) printf '%s\n' "$ld" && break ;; esac
  done)
  [ -n "$loader" ] || return
  # --verify reads only the ELF header. Listing the libraries, as ldd does, also resolves every
  # library and symbol version the program needs, so a C library older than the program's or a
  # missing GTK 3 gets the message instead of a start that fails unseen.
  libraries=$("$loader" --list "$prog" 2>&1) || return
  case $libraries in *"not found"*) return ;; esac
  # Through the loader even when the file has an execute bit: the process's executable is then the
  # loader, not a file on this drive, so the desktop can unmount the drive while the window is open.
  exec "$loader" "$prog"
}

# This machine's own program first: with binfmt and qemu set up, another one would also pass the
# checks, and run emulated. A 64-bit ARM kernel may run a 32-bit system, so ostrael-armhf comes
# next on aarch64. ARMv6 and older lack instructions ostrael-armhf uses: it would pass the checks
# and die.
case $(uname -m 2>/dev/null) in
  x86_64) set -- ostrael ostrael-arm64 ostrael-armhf ;;
  aarch64 | arm64) set -- ostrael-arm64 ostrael-armhf ostrael ;;
  armv[3-6]*) set -- ostrael ostrael-arm64 ;;
  arm*) set -- ostrael-armhf ostrael-arm64 ostrael ;;
  *) set -- ostrael ostrael-arm64 ostrael-armhf ;;
esac
for name in "$@"; do try "$name"; done
give_up
