#!/usr/bin/env bash
# The manual's test: builds the `manual` target, checks that every picture the
# manual names was made and is a PNG, that the PDF holds them all, and that a
# second build from scratch gives the same bytes.
#   check-manual.sh BUILD-DIR KELVANE-HOST MODULE
set -euo pipefail
build=$1 host=$2 module=$3
here=$(cd "$(dirname "$0")" && pwd)
pdf=$build/Kelvane_manual.pdf
images=$build/docs/manual/images
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --build "$build" --target manual >/dev/null

mapfile -t named < <(grep -oE '^image::[^[]+' "$here/Kelvane_manual.adoc" | sed 's/^image:://'; \
                     grep -oE ':title-logo-image: image:[^[]+' "$here/Kelvane_manual.adoc" | sed 's/.*image://')
[ ${#named[@]} -ge 10 ] || fail "the manual names only ${#named[@]} pictures"
for name in "${named[@]}"; do
  file=$images/$name
  if [ ! -s "$file" ]; then fail "picture $name is missing"; continue; fi
  [ "$(head -c 8 "$file" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$name is not a PNG"
done
echo "pictures named by the manual: ${#named[@]}, all present"

[ "$(head -c 5 "$pdf")" = "%PDF-" ] || fail "$pdf is not a PDF"
embedded=$(grep -ac '/Subtype /Image' "$pdf" || true)
distinct=$(printf '%s\n' "${named[@]}" | sort -u | wc -l)
[ "$embedded" -ge "$distinct" ] || fail "the PDF embeds $embedded images, the manual names $distinct"
echo "PDF: $(stat -c %s "$pdf") bytes, $embedded images embedded"

# A second build from scratch, into a folder of its own: the same bytes.
again=$(mktemp -d)
trap 'rm -rf "$again"' EXIT
"$here/build-manual.sh" "$host" "$module" "$again/images" "$again/Kelvane_manual.pdf"
for name in $(printf '%s\n' "${named[@]}" | sort -u); do
  cmp -s "$images/$name" "$again/images/$name" || fail "picture $name differs between two builds"
done
cmp -s "$pdf" "$again/Kelvane_manual.pdf" || fail "the PDF differs between two builds"
echo "second build: identical pictures and PDF"

if [ "$failures" -ne 0 ]; then echo "$failures failures"; exit 1; fi
echo "manual: all checks passed"
