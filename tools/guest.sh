#!/usr/bin/env bash
# Makes the emulated PC that runs the shipped 32-bit Windows program where this host runs no 32-bit
# code (tests/guest/): a Debian 12 disk with its kernel, 32-bit Wine, Xvfb and a Wine prefix made
# once, all from Debian's packages. Once per clone, in build/guest:
#
#   tools/guest.sh
#
# A guest made by other versions of this script, tests/guest/init or tests/win32/make_prefix.sh is
# made again.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
dir=$top/build/guest
part=$dir.part
stamp=$(cd "$top" && cat tools/guest.sh tests/guest/init tests/win32/make_prefix.sh | sha256sum)
stamp=${stamp%% *}
[ "$(cat "$dir/.complete" 2>/dev/null)" = "$stamp" ] && exit 0

fail() { echo "guest: $*" >&2; exit 1; }
for tool in mmdebstrap mke2fs qemu-system-x86_64; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh)"
done
mirror=$("$top/tools/debian-mirror.sh")
start=$SECONDS
rm -rf "$dir" "$part"
mkdir -p "$part"
echo "guest: making the emulated PC in $dir from $mirror"

# run_end_to_end.sh needs ImageMagick and the en_US.UTF-8 locale besides Wine and X; the init, mount.
packages=linux-image-amd64,initramfs-tools,kmod,wine,wine32:i386,fonts-wine,xvfb,xdotool,x11-utils
packages+=,imagemagick,locales,mount
# The initramfs mounts the disk and brings the 9p modules along: the disk keeps no kernel modules.
initramfs_setup='mkdir -p "$1/etc/initramfs-tools/hooks" "$1/etc/initramfs-tools/conf.d"
echo MODULES=list >"$1/etc/initramfs-tools/conf.d/ostrael"
cat >"$1/etc/initramfs-tools/hooks/ostrael" <<"HOOK"
#!/bin/sh
[ "$1" = prereqs ] && exit 0
. /usr/share/initramfs-tools/hook-functions
for module in virtio_pci virtio_blk crc32c_generic ext4 9pnet_virtio 9p; do force_load $module; done
HOOK
chmod +x "$1/etc/initramfs-tools/hooks/ostrael"'
finish='echo "en_US.UTF-8 UTF-8" >"$1/etc/locale.gen" && chroot "$1" locale-gen >/dev/null
cp "$1"/boot/vmlinuz-* "$1/../vmlinuz" && cp "$1"/boot/initrd.img-* "$1/../initrd.img"
rm -rf "$1"/boot/* "$1"/lib/modules/*/kernel "$1"/var/cache/apt/* "$1"/var/lib/apt/lists/*'
log=$part/mmdebstrap.log
tree=$part/tree
mmdebstrap --variant=apt --architectures=amd64,i386 --include="$packages" \
  --aptopt='APT::Install-Recommends "false"' \
  --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/doc/*' \
  --dpkgopt='path-exclude=/usr/share/info/*' --dpkgopt='path-exclude=/usr/share/locale/*' \
  --essential-hook="$initramfs_setup" --customize-hook="$finish" \
  bookworm "$tree" "deb $mirror bookworm main" >"$log" 2>&1 ||
  { tail -n 20 "$log" >&2; fail "mmdebstrap could not make the tree (the whole log: $log)"; }
install -m 755 "$top/tests/guest/init" "$tree/sbin/ostrael-init"
echo "guest: tree made in $((SECONDS - start)) s, $(du -sh "$tree" | cut -f1)"

# The disk straight from the tree, no loop mount; room for the prefix and a run's files.
mke2fs -q -t ext4 -L ostrael-guest -d "$tree" "$part/disk.img" 3G >"$log" 2>&1 ||
  { cat "$log" >&2; fail "mke2fs could not make the disk"; }
rm -rf "$tree"

# The Wine prefix run_end_to_end.sh makes for itself, made here once: wineboot takes a minute or
# more in the emulated PC.
share=$part/share
mkdir -p "$share"
cat >"$share/run.sh" <<'PREFIX'
set -eu
export WINEPREFIX=/var/lib/ostrael/e2e/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
mkdir -p /var/lib/ostrael/e2e
Xvfb :9 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null &
export DISPLAY=:9
sh /src/tests/win32/make_prefix.sh
kill $!
echo "guest: the Wine prefix is ready"
PREFIX
"$top/tests/guest/boot.sh" --keep "$part" "$share" 900 || fail "the Wine prefix could not be made in the guest"
rm -rf "$share" "$log"

mv "$part" "$dir"
echo "$stamp" >"$dir/.complete"
echo "guest: made in $((SECONDS - start)) s; $(du -sh "$dir" | cut -f1) on disk in $dir"
