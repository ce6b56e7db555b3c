#!/usr/bin/env bash
# Proves that the release packages are reproducible: clones the commit checked
# out here twice, into two fresh folders at different paths, builds the
# packages in each with scripts/package.sh (compiler cache off, so every
# object is compiled again), and compares the two sets byte for byte.
# Takes about as long as six module builds. Arguments go to package.sh
# (e.g. --no-manual). Exit code 0 only when every zip is identical.
set -euo pipefail
cd "$(dirname "$0")/.."

commit=$(git rev-parse HEAD)
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  echo "check-reproducible.sh: note: uncommitted changes are not part of the check; it builds commit $commit"
work=$(mktemp -d -t kelvane-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The second clone lies deeper and under a longer name: no path may leak into the bytes.
a=$work/a
b=$work/another-clone/at/a/much/longer/path
for dir in "$a" "$b"; do
  git clone -q "$PWD" "$dir"
  git -C "$dir" checkout -q --detach "$commit"
done

export CCACHE_DISABLE=1
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
for dir in "$a" "$b"; do
  echo "== packages from $dir"
  "$dir/scripts/package.sh" --out "$dir/dist" "$@"
done

echo "== $a/dist/SHA256SUMS"
cat "$a/dist/SHA256SUMS"
echo "== $b/dist/SHA256SUMS"
cat "$b/dist/SHA256SUMS"
status=0
for zip in "$a"/dist/*.zip; do
  name=$(basename "$zip")
  if cmp -s "$zip" "$b/dist/$name"; then
    echo "identical: $name"
    continue
  fi
  status=1
  echo "DIFFERENT: $name"
  mkdir -p "$work/x/a" "$work/x/b"
  unzip -q -o "$zip" -d "$work/x/a/$name"
  unzip -q -o "$b/dist/$name" -d "$work/x/b/$name"
  diff -r -q "$work/x/a/$name" "$work/x/b/$name" | sed 's/^/   /' || true
done
[ $status -eq 0 ] && echo "The packages of commit $commit are the same bytes from both clones."
exit $status
