#!/usr/bin/env bash
# Makes the Debian 11 tree the Linux programs are built against, once, for one processor:
#
#   tools/sysroot.sh amd64|arm64|armhf DIR
#
# Debian 11 holds the oldest libraries the programs may use (glibc 2.31, GTK 3.24.24, GLib 2.66,
# util-linux 2.36), so what builds against it loads on them and on everything newer. The same tree
# is where the tests run the programs: under qemu-user for the ARM ones, in a chroot for x86-64.
# Its packages are only unpacked, never configured, so making it runs nothing of theirs.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 amd64|arm64|armhf DIR" >&2; exit 2; }
arch=$1 dir=$2
case $arch in amd64 | arm64 | armhf) ;; *) echo "sysroot: no such architecture: $arch" >&2; exit 2 ;; esac
[ -f "$dir/.complete" ] && exit 0

# The last point release of Debian 11, no longer updated: the same packages on every build.
suite=bullseye
mirror=$("$(dirname "$0")/debian-mirror.sh")
packages=libgtk-3-dev,libudev-dev,libblkid-dev,libmount-dev,libc6-dev,fonts-dejavu-core

command -v mmdebstrap >/dev/null || { echo "sysroot: mmdebstrap is missing (tools/install-deps.sh)" >&2; exit 1; }
rm -rf "$dir" "$dir.part"
mkdir -p "$(dirname "$dir")"
echo "sysroot: making the Debian 11 $arch tree in $dir"
log=$dir.log
mmdebstrap --quiet --variant=extract --architectures="$arch" --include="$packages" \
  "$suite" "$dir.part" "$mirror" >"$log" 2>&1 || { tail -n 20 "$log" >&2; exit 1; }
# Absolute links, such as libdl.so -> /lib/<triple>/libdl.so.2, would lead out of the tree, and
# the linker would then take the static library beside them: point them inside.
find "$dir.part" -type l -lname '/*' -print0 | while IFS= read -r -d '' link; do
  target=$(readlink "$link")
  ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$dir.part$target")" "$link"
done
# Where a test binds this machine's own in, to run a program in the tree. Unpacking made no
# users, and D-Bus wants a name for the one it runs as: this machine's users stand in.
mkdir -p "$dir.part"/{proc,sys,dev,run,tmp}
cp /etc/passwd /etc/group "$dir.part"/etc/
mv "$dir.part" "$dir"
touch "$dir/.complete"
