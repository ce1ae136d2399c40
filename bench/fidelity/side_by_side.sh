#!/bin/sh
# The editor's first page of corpus documents beside LibreOffice's, to look at:
# OUTDIR/NAME-side.png, LibreOffice's page (pdftoppm at 96 dpi) on the left.
#
# usage: bench/fidelity/side_by_side.sh BUILD_DIR PDF_DIR OUTDIR [--corpus doc] NAME ...
# PDF_DIR holds LibreOffice's PDFs, as make_reference.py keeps them with KEEP_PDFS=DIR.
# Needs pdftoppm (poppler-utils) and convert (ImageMagick).
set -eu
build=$1 pdfs=$2 out=$3
shift 3
corpus=""
if [ "${1:-}" = "--corpus" ]; then corpus="--corpus $2"; shift 2; fi
mkdir -p "$out"
# shellcheck disable=SC2086
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/bench_fidelity" $corpus --shots "$out" "$@" >/dev/null
for name in "$@"; do
    [ -f "$pdfs/$name.pdf" ] || { echo "$name: no PDF in $pdfs" >&2; continue; }
    pdftoppm -r 96 -f 1 -l 1 -singlefile -png "$pdfs/$name.pdf" "$out/$name-lo"
    convert "$out/$name-lo.png" -bordercolor gray -border 2 "$out/$name-orvo.png" -border 2 +append "$out/$name-side.png"
    echo "$out/$name-side.png"
done
