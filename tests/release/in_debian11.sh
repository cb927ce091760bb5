#!/bin/sh
# Runs PROGRAM inside the Debian 11 tree TREE, as on a machine with that system: its own /usr,
# /lib and /etc, and this machine's /proc, /sys, /dev, /run and /tmp (the X server's and the
# buses' sockets, and the pen) bound in, in a mount namespace of its own that ends with it.
#
#   in_debian11.sh TREE PROGRAM
set -eu
[ $# -eq 2 ] || { echo "usage: $0 TREE PROGRAM" >&2; exit 2; }
exec unshare --mount --propagation private sh -c '
  for d in proc sys dev run tmp; do mount --rbind "/$d" "$1/$d"; done
  exec chroot "$1" "$2"' sh "$1" "$2"
