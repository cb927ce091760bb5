#!/usr/bin/env bash
# Which build of the Windows program the tests run on this host, decided here and nowhere else:
#   i686    the shipped 32-bit Ostrael.exe under Wine, where this host runs 32-bit x86 code;
#   x86_64  the same source built for 64-bit Windows, under wine64, where it does not (a kernel
#           without IA-32 emulation, a virtual machine that runs 64-bit code only).
# It runs a tiny i386 program rather than guessing from the kernel or the processor. A host that is
# neither (arm64, say) cannot test Windows programs, and this says so and fails.
# OSTRAEL_WINDOWS_TESTS=x86_64 (or i686) decides without asking the host.
#
#   tools/windows-tests.sh            prints i686 or x86_64
#   tools/windows-tests.sh --reason   prints why, in a few words
set -euo pipefail

i386_program() {
  # ELF header: 32 bits, little-endian, an i386 executable entered at 0x08048054 ...
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00'
  printf '\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
  # ... with one segment, the whole file loaded at 0x08048000, readable and executable ...
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
  printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
  # ... whose code is exit(32): mov eax, 1; mov ebx, 32; int 0x80.
  printf '\xb8\x01\x00\x00\x00\xbb\x20\x00\x00\x00\xcd\x80'
}

decide() {
  case "${OSTRAEL_WINDOWS_TESTS:-}" in
    i686 | x86_64) echo "$OSTRAEL_WINDOWS_TESTS OSTRAEL_WINDOWS_TESTS=$OSTRAEL_WINDOWS_TESTS"; return ;;
    '') ;;
    *) echo "OSTRAEL_WINDOWS_TESTS must be i686 or x86_64, not '$OSTRAEL_WINDOWS_TESTS'" >&2; exit 2 ;;
  esac
  local dir
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' RETURN
  i386_program >"$dir/i386"
  cp "$(type -P true)" "$dir/native"
  chmod +x "$dir/i386" "$dir/native"
  local status=0
  "$dir/i386" 2>/dev/null || status=$?
  if [ $status -eq 32 ]; then
    echo "i686 this host runs 32-bit x86 code"
  elif ! "$dir/native"; then
    # A folder that runs nothing (noexec) tells nothing about the host: keep to the shipped build.
    echo "i686 no program can be started from $dir, so the host was not asked"
  elif [ "$(uname -m)" = x86_64 ]; then
    echo "x86_64 this host runs no 32-bit x86 code: an i386 program does not start here"
  else
    echo "cannot test Windows programs here: this host is $(uname -m), and runs no x86 code" >&2
    exit 1
  fi
}

answer=$(decide) || exit 1
case "${1:-}" in
  --reason) echo "${answer#* }" ;;
  '') echo "${answer%% *}" ;;
  *) echo "usage: $0 [--reason]" >&2; exit 2 ;;
esac
