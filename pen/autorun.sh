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
prog=$root/ostrael

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

# The first loader that says it can load the program, as ldd asks it: this also refuses a program
# for another machine and a drive mounted noexec.
[ -f "$prog" ] || give_up
interp=$(interpreter)
loader=$(loaders | while IFS= read -r ld; do
  case $ld in /*) ;; *) continue ;; esac
  case ${ld##*/} in ld-*.so* | ld.so* | ld64.so*) ;; *) continue ;; esac
  [ -f "$ld" ] && [ -x "$ld" ] || continue
  "$ld" --verify "$prog" >/dev/null 2>&1
  case $? in 0 | 2) printf '%s\n' "$ld" && break ;; esac
done)
[ -n "$loader" ] || give_up

# --verify reads only the ELF header. Listing the libraries, as ldd does, also resolves every library
# and symbol version the program needs, so a C library older than the program's or a missing GTK 3
# gets the message instead of a start that fails unseen.
libraries=$("$loader" --list "$prog" 2>&1) || give_up
case $libraries in *"not found"*) give_up ;; esac

# Directly when the kernel can: the file has an execute bit and the loader it names is there.
# FAT mounts give no execute bit; the loader runs the program all the same.
if [ -x "$prog" ] && [ "$loader" = "$interp" ]; then exec "$prog"; fi
exec "$loader" "$prog"
