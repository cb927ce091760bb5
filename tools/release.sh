#!/usr/bin/env bash
# Builds the programs for release (Windows; Linux on x86-64, arm64 and armhf) and writes the kit an
# owner unzips onto a drive:
#
#   dist/ostrael-VERSION/         pen/ (the programs, copied onto the drive every time),
#                                 first-time/ (message.txt and autorun.inf, copied onto a new drive
#                                 only), OWNER.txt, COMMIT (the commit it was built from), SHA256SUMS
#   dist/ostrael-VERSION.zip      the same folder, zipped
#   dist/ostrael-VERSION.zip.sha256
#
#   tools/release.sh [--allow-dirty] [--jobs N]
#
# The same commit gives the same bytes wherever and whenever it is built: the only time in the
# kit is SOURCE_DATE_EPOCH (the commit's time unless set), and the checkout's path, the time zone,
# the locale, the umask and the parallelism of the build leave no trace. A tree with uncommitted
# changes is refused, since its kit would match no commit; --allow-dirty builds it anyway.
set -euo pipefail

usage() { echo "usage: $0 [--allow-dirty] [--jobs N]" >&2; exit 2; }
fail() { echo "release: $*" >&2; exit 1; }

allow_dirty=false
jobs=$(nproc)
while [ $# -gt 0 ]; do
  case "$1" in
    --allow-dirty) allow_dirty=true; shift ;;
    --jobs) [ $# -ge 2 ] && [[ $2 =~ ^[1-9][0-9]*$ ]] || usage; jobs=$2; shift 2 ;;
    *) usage ;;
  esac
done

cd "$(dirname "$0")/.."
top=$PWD

dirty=false
if [ -n "$(git status --porcelain --untracked-files=normal)" ]; then
  dirty=true
  $allow_dirty || fail "the tree has uncommitted changes, so the kit would match no commit.
Commit them first, or run with --allow-dirty to build from the tree as it is."
  echo "release: building from a tree with uncommitted changes (--allow-dirty)" >&2
fi

# What the builder may vary must not show: one locale, one time zone, one umask.
export LC_ALL=C TZ=UTC
umask 022
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH must be seconds since 1970"

tools/install-deps.sh
# The three Linux programs build against Debian 11 trees, made once under build/sysroot/ (or
# OSTRAEL_SYSROOTS); the first build of each fetches its tree.
for preset in release-linux release-linux-arm64 release-linux-armhf release-windows-i686; do
  echo "== build $preset"
  mkdir -p build
  log=build/$preset.log
  { cmake --preset "$preset" --fresh && cmake --build --preset "$preset" --clean-first -j"$jobs"; } >"$log" 2>&1 ||
    { tail -n 40 "$log" >&2; fail "the $preset build failed; its log is $log"; }
done
version=$(cat build/release-linux/ostrael-version.txt)
name=ostrael-$version
kit=dist/$name

rm -rf "$kit" "$kit.zip" "$kit.zip.sha256"
mkdir -p "$kit/pen" "$kit/first-time"
programs=$(mktemp -d)
trap 'rm -rf "$programs"' EXIT
cp build/release-windows-i686/bin/Ostrael.exe build/release-linux/bin/ostrael "$programs/"
cp build/release-linux-arm64/bin/ostrael "$programs/ostrael-arm64"
cp build/release-linux-armhf/bin/ostrael "$programs/ostrael-armhf"
tools/make-pen.sh --programs "$programs" "$kit/pen" >/dev/null
# The owner's files stay out of pen/: an owner who copies a newer pen/ onto a drive set up before,
# answering "Replace" to everything, keeps their message and the drive's name.
mv "$kit/pen/message.txt" "$kit/pen/autorun.inf" "$kit/first-time/"

# Where a rebuilder starts from. Both builders of a tree with changes say so, in the same words.
commit=$(git rev-parse HEAD)
if $dirty; then commit+=" with uncommitted changes"; fi
printf '%s\n' "$commit" >"$kit/COMMIT"

# The owner's guide is read in Notepad too: CRLF line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' docs/OWNER.txt >"$kit/OWNER.txt"
(
  cd "$kit"
  find . -type f ! -name SHA256SUMS -printf '%P\0' | sort -z | xargs -0 sha256sum -- >SHA256SUMS
)
find "$kit" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

python3 tools/release/kit_zip.py "$kit" "$kit.zip"
touch -d "@$SOURCE_DATE_EPOCH" "$kit.zip"
(cd dist && sha256sum -- "$name.zip" >"$name.zip.sha256")

echo "Kit:    $top/$kit/"
echo "Zip:    $top/$kit.zip ($(stat -c %s "$kit.zip") bytes)"
echo "SHA256: $(cut -d' ' -f1 "$kit.zip.sha256")"
