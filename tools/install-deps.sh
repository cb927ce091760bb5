#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, where they are missing.
# As root it installs them; otherwise it prints the apt-get line to run.
#   --bench  also what bench/run.sh needs besides: the text editor it compares against
set -euo pipefail

packages=(
  # build
  cmake g++ pkg-config g++-mingw-w64-i686-posix libgtest-dev googletest libbenchmark-dev
  libgtk-3-dev libudev-dev libblkid-dev libmount-dev
  # the Linux programs for x86-64, arm64 and armhf against Debian 11 trees, and running them
  crossbuild-essential-arm64 crossbuild-essential-armhf mmdebstrap qemu-user lld
  # sanitizers, fuzzing and the never-writes check
  clang-14 libclang-rt-14-dev llvm-14 strace
  # running and looking at the windows (Wine itself: below)
  wine fonts-wine xvfb xdotool x11-utils x11-apps imagemagick dbus dbus-x11 fonts-dejavu-core at-spi2-core
  # drives made at test time
  dosfstools exfatprogs exfat-fuse ntfs-3g fusefat e2fsprogs btrfs-progs mtools fuse3 libfuse3-dev util-linux
  # number formats of other languages
  locales
  # the post-link step on Ostrael.exe, the release kit's zip, and unzipping it again in its test
  python3 unzip
)
# The Windows tests run the shipped 32-bit program under wine32, or, on a host that runs no 32-bit
# x86 code, a 64-bit build of it under wine64 and the shipped one in an emulated PC
# (tools/guest.sh).
without_32_bit_x86=(wine64 g++-mingw-w64-x86-64-posix qemu-system-x86)
case $("$(dirname "$0")/windows-tests.sh") in
  i686) packages+=(wine32:i386) ;;
  x86_64) packages+=("${without_32_bit_x86[@]}") ;;
esac
if [ "${1:-}" = --bench ]; then
  packages+=(mousepad)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

need_i386=false
for p in "${missing[@]}"; do [[ $p == *:i386 ]] && need_i386=true; done
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:" >&2
  $need_i386 && echo "  dpkg --add-architecture i386 && apt-get update" >&2
  echo "  apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
if $need_i386 && ! dpkg --print-foreign-architectures | grep -qx i386; then dpkg --add-architecture i386; fi
export DEBIAN_FRONTEND=noninteractive
# One index that fails to come (a mirror caught mid-sync) need not stop the install: apt says so,
# and the install below fails on its own if it needed that index.
apt-get update -qq || echo "install-deps: apt-get update failed in part; installing from what it has" >&2
install() { apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
if $need_i386; then
  # wine32:i386 alone, last: an archive whose i386 half is broken or mid-sync leaves the rest
  # installable, and the tests can still run the shipped program, in an emulated PC.
  rest=()
  for p in "${missing[@]}"; do [[ $p == *:i386 ]] || rest+=("$p"); done
  [ ${#rest[@]} -eq 0 ] || install "${rest[@]}"
  if ! install wine32:i386; then
    echo "install-deps: wine32:i386 cannot be installed here (apt says why above); installing" \
      "what a host without 32-bit x86 code tests with: tools/test.sh takes that road" >&2
    install "${without_32_bit_x86[@]}"
  fi
else
  install "${missing[@]}"
fi
