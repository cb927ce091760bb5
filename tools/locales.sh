#!/usr/bin/env bash
# Generates the locales whose number formats the tests compare, if they are missing.
set -euo pipefail
wanted=(en_US.UTF-8 de_DE.UTF-8)
have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
todo=()
for l in "${wanted[@]}"; do
  n=$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  grep -qx "$n" <<<"$have" || todo+=("$l")
done
[ ${#todo[@]} -eq 0 ] && exit 0
[ "$(id -u)" -eq 0 ] || { echo "Run as root to generate locales: ${todo[*]}" >&2; exit 0; }
for l in "${todo[@]}"; do
  grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" >> /etc/locale.gen
done
locale-gen >/dev/null
