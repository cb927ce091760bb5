#!/usr/bin/env bash
# Boots the emulated PC that tools/guest.sh made, runs SHARE/run.sh in it and ends with that
# script's status. The disk is used with snapshot=on, so every boot starts from the same disk;
# --keep writes to it instead (tools/guest.sh, preparing it).
#
#   tests/guest/boot.sh [--keep] GUEST_DIR SHARE_DIR SECONDS
#
# Everything the script prints goes to SHARE_DIR/console.log, with the kernel's messages. A guest
# that does not boot, or does not end within SECONDS, fails with the tail of that log.
set -euo pipefail

snapshot=on
[ "${1:-}" = --keep ] && { snapshot=off; shift; }
[ $# -eq 3 ] || { echo "usage: $0 [--keep] GUEST_DIR SHARE_DIR SECONDS" >&2; exit 2; }
guest=$1 share=$2 seconds=$3
top=$(cd "$(dirname "$0")/../.." && pwd)
console=$share/console.log

# qemu reads a comma in an option's value as the next option unless it is doubled.
option() { printf '%s' "${1//,/,,}"; }

[ -f "$share/run.sh" ] || { echo "guest: $share/run.sh is missing" >&2; exit 2; }
rm -f "$share/status" "$console"
# -cpu qemu64: with "max" the guest's kernel oopses in 32-bit Wine. No KVM here: TCG, one thread
# per virtual processor.
status=0
timeout --kill-after=10 "$seconds" qemu-system-x86_64 \
  -nodefaults -no-user-config -display none -no-reboot \
  -machine pc -accel tcg,thread=multi -cpu qemu64 -smp 2 -m 2048 \
  -kernel "$guest/vmlinuz" -initrd "$guest/initrd.img" \
  -append "root=/dev/vda rw rootfstype=ext4 console=ttyS0 quiet init=/sbin/ostrael-init" \
  -drive "file=$(option "$guest/disk.img"),format=raw,if=virtio,snapshot=$snapshot" \
  -virtfs "local,path=$(option "$share"),mount_tag=share,security_model=none" \
  -virtfs "local,path=$(option "$top"),mount_tag=src,security_model=none,readonly=on" \
  -serial "file:$(option "$console")" || status=$?

tail_of_console() { echo "--- the last lines of the guest's console ($console) ---" >&2; tail -n 40 "$console" >&2 || true; }
if [ $status -eq 124 ] || [ $status -eq 137 ]; then
  echo "guest: did not end within $seconds s" >&2
  tail_of_console
  exit 1
elif [ $status -ne 0 ]; then
  echo "guest: qemu failed ($status)" >&2
  tail_of_console
  exit 1
elif [ ! -s "$share/status" ]; then
  echo "guest: ended without running the script to its end" >&2
  tail_of_console
  exit 1
fi
status=$(cat "$share/status")
[ "$status" = 0 ] || tail_of_console
exit "$status"
