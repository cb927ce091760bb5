#!/usr/bin/env bash
# Prints the Debian archive this machine's apt already uses, for the trees the build and the tests
# make from Debian's packages (tools/sysroot.sh, tools/guest.sh). OSTRAEL_DEBIAN_MIRROR overrides it.
set -euo pipefail

if [ -n "${OSTRAEL_DEBIAN_MIRROR:-}" ]; then
  echo "$OSTRAEL_DEBIAN_MIRROR"
  exit 0
fi
# The archive is the source that carries a release's own suite (bookworm, not bookworm-security),
# whether written as deb822 stanzas or as one-line entries.
shopt -s nullglob
for file in /etc/apt/sources.list.d/*.sources; do
  uri=$(awk '
    /^[ \t]*$/ { if (uri != "" && main) { print uri; exit } uri = ""; main = 0; next }
    tolower($1) == "uris:" { uri = $2 }
    tolower($1) == "suites:" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+$/) main = 1 }
    END { if (uri != "" && main) print uri }' "$file" | head -n 1)
  [ -n "$uri" ] && { echo "${uri%/}"; exit 0; }
done
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$file" ] || continue
  uri=$(awk '$1 == "deb" {
      i = 2; if ($i ~ /^\[/) while ($i !~ /\]$/) i++; if ($i ~ /^\[/ || $i ~ /\]$/) i++
      if ($(i + 1) ~ /^[a-z]+$/) { print $i; exit } }' "$file")
  [ -n "$uri" ] && { echo "${uri%/}"; exit 0; }
done
echo "debian-mirror: no Debian archive in this machine's apt sources; set OSTRAEL_DEBIAN_MIRROR to one" >&2
exit 1
