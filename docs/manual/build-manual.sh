#!/usr/bin/env bash
# Builds the user manual: every picture from kelvane-host, then the PDF.
#   build-manual.sh KELVANE-HOST MODULE IMAGES-FOLDER OUT.pdf
# Reproducible: a fixed SOURCE_DATE_EPOCH and the document's `reproducible`
# attribute keep dates and ids out, so the same sources give the same bytes.
set -euo pipefail
host=$1 module=$2 images=$3 pdf=$4
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$images"
"$here/pictures.sh" "$host" "$module" "$images"
# Any warning (a missing picture, a broken cross reference) fails the build.
SOURCE_DATE_EPOCH=1765152000 TZ=UTC LC_ALL=C.UTF-8 asciidoctor-pdf --failure-level=WARN \
  -a imagesdir="$images" -a pdf-themesdir="$here" \
  -o "$pdf.tmp" "$here/Kelvane_manual.adoc"
mv "$pdf.tmp" "$pdf"
