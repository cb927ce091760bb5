#!/usr/bin/env bash
# Runs a sanitized test program with the sanitizer options it was given, the checkout's path in
# them replaced by a path with a space that leads to the same checkout: the options must still parse.
# Usage: spaced_checkout.sh SOURCE-DIR PROGRAM [ARGUMENTS...]
set -euo pipefail
source=$1
shift
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
spaced="$dir/a checkout"
ln -s "$source" "$spaced"
replaced=0
for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
  value=${!name:-}
  [[ $value == *"$source"* ]] && replaced=$((replaced + 1))
  export "$name=${value//"$source"/"$spaced"}"
done
# Without the asan test preset's environment nothing holds the path, and the run proves nothing.
if [ "$replaced" -eq 0 ]; then
  echo "no sanitizer option names $source: run this through the asan test preset" >&2
  exit 1
fi
"$@"
