#!/bin/sh
# Makes the 5 MB corpus document as .docx and .odt with LibreOffice, for bench_docload,
# and times LibreOffice's own conversion of each of the three files (RTF, .docx, .odt).
# The documents are too large for the repository: they go to OUTDIR, where
# bench_docload looks for them (it says where when they are missing).
#
# usage: bench/make_docs.sh OUTDIR [RTF_CORPUS]
# Needs soffice (apt-get install libreoffice-writer-nogui). One LibreOffice at a time,
# each with a throw-away profile; the first start of a profile is not timed.
set -eu
out=${1:?usage: make_docs.sh OUTDIR [RTF_CORPUS]}
corpus=${2:-$(dirname "$0")/../../shared/rtf-corpus}
src=$corpus/large/large-5mb.rtf
[ -f "$src" ] || { echo "no $src" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
profile="-env:UserInstallation=file://$work/profile"
office() { timeout 1800 soffice "$profile" --headless "$@" >/dev/null 2>&1; }

# Milliseconds of one conversion, its output in $work/conv.
timed() {
    rm -rf "$work/conv"; mkdir -p "$work/conv"
    start=$(date +%s%N)
    office "$@" --outdir "$work/conv"
    end=$(date +%s%N)
    echo $(( (end - start) / 1000000 ))
}

cp "$src" "$work/large-5mb.rtf"
printf '{\\rtf1\\ansi x\\par}' > "$work/tiny.rtf"
# The profile is made at the first start: not part of any figure below.
timed --convert-to txt "$work/tiny.rtf" > /dev/null

made_docx=$(timed --infilter="Rich Text Format" --convert-to 'docx:MS Word 2007 XML' "$work/large-5mb.rtf")
cp "$work/conv/large-5mb.docx" "$out/large-5mb.docx"
made_odt=$(timed --infilter="Rich Text Format" --convert-to 'odt:writer8' "$work/large-5mb.rtf")
cp "$work/conv/large-5mb.odt" "$out/large-5mb.odt"

# Each format read and written out as text: LibreOffice's reading of that file, with
# its start and the (small) cost of the text export.
rtf_txt=$(timed --infilter="Rich Text Format" --convert-to 'txt:Text (encoded):UTF8' "$work/large-5mb.rtf")
docx_txt=$(timed --infilter="MS Word 2007 XML" --convert-to 'txt:Text (encoded):UTF8' "$out/large-5mb.docx")
odt_txt=$(timed --infilter="writer8" --convert-to 'txt:Text (encoded):UTF8' "$out/large-5mb.odt")
# What a start costs, warmed up as the conversions above were: a one-line document.
startup=$(timed --infilter="Rich Text Format" --convert-to 'txt:Text (encoded):UTF8' "$work/tiny.rtf")

{
    echo "# soffice --headless --convert-to, ms, one run each: $(soffice --version 2>/dev/null | head -1)"
    echo "startup $startup"
    echo "rtf-to-docx $made_docx"
    echo "rtf-to-odt $made_odt"
    echo "rtf $rtf_txt"
    echo "docx $docx_txt"
    echo "odt $odt_txt"
} > "$out/libreoffice-times.txt"
cat "$out/libreoffice-times.txt"
ls -l "$out"
