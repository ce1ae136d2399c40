#!/bin/bash
# Builds the readers' libFuzzer targets with clang and runs them for SECONDS in
# all: half of it the RTF reader, seeded with the RTF corpus, a quarter each the
# Word and the OpenDocument readers, seeded with the document corpus (copied: the
# corpora themselves are never written to).
# usage: scripts/fuzz.sh SECONDS [build-dir]
# Exits non-zero when the fuzzer finds a crash, a leak, a timeout or runaway memory;
# the input that caused it is kept in BUILD-DIR/artifacts/. An input of at most 1 MB
# that takes more than 5 seconds or 512 MB is a finding: the reader's work and memory
# must stay in proportion to its input, far below either.
set -euo pipefail

seconds=${1:?usage: scripts/fuzz.sh SECONDS [build-dir]}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${2:-$root/build-fuzz}") # absolute: the fuzzer runs in a folder of its own
corpus=${ORVO_RTF_CORPUS:-$root/../shared/rtf-corpus}
doc_corpus=${ORVO_DOC_CORPUS:-$root/../shared/doc-corpus}

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.configure.log" 2>&1 \
    || { cat "$build.configure.log"; exit 2; }
cmake --build "$build" -j2 --target fuzz_rtfreader fuzz_docxreader fuzz_odtreader

work=$(mktemp -d "${TMPDIR:-/tmp}/orvo-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/found" "$work/seeds" "$build/artifacts"
mkdir -p "$work/docx/found" "$work/docx/seeds" "$work/odt/found" "$work/odt/seeds"
cp "$root"/fuzz/seeds/docx/* "$work/docx/seeds/"
cp "$root"/fuzz/seeds/odt/* "$work/odt/seeds/"
if [ -d "$doc_corpus" ]; then
    # The small ones: the fuzzer's inputs stay under its length limit.
    find "$doc_corpus" -maxdepth 1 -name '*.docx' -size -200k -exec cp {} "$work/docx/seeds/" \;
    find "$doc_corpus" -maxdepth 1 -name '*.odt' -size -200k -exec cp {} "$work/odt/seeds/" \;
fi
cp "$root"/fuzz/seeds/*.rtf "$work/seeds/"
if [ -d "$corpus" ]; then
    cp "$corpus"/*.rtf "$work/seeds/" 2>/dev/null || true
else
    echo "fuzz.sh: corpus $corpus not found, seeding with fuzz/seeds only" >&2
fi

# Leak checking stays on: every allocation of a load must be gone once its document
# is. Only the font libraries' process-lifetime caches, which text in metafile
# drawings fills, are suppressed (fuzz/lsan.supp).
export QT_QPA_PLATFORM=offscreen
# The memory limit counts the whole process, the fuzzer's own inputs and the sanitizer
# included. In one process, the inputs the fuzzer keeps (a hundred megabytes after
# fifteen minutes) and AddressSanitizer's quarantine of freed memory (256 MB by
# default) would reach it without any input at fault. So the fuzzing runs in child
# processes that start afresh from the inputs on disk, each with a small quarantine,
# and any crash, timeout or memory overrun in a child stops the run.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
cd "$work"
# usage: fuzz TARGET SECONDS FOUND SEEDS [extra options]
fuzz() {
    local target=$1 time=$2 found=$3 seeds=$4
    shift 4
    "$build/$target" \
        -fork=1 -ignore_crashes=0 -ignore_timeouts=0 -ignore_ooms=0 \
        -max_total_time="$time" \
        -max_len=1048576 \
        -rss_limit_mb=512 \
        -timeout=5 \
        -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" \
        "$@" "$found" "$seeds"
}
rtf_seconds=$(( (seconds + 1) / 2 ))
other_seconds=$(( (seconds - rtf_seconds + 1) / 2 ))
[ "$other_seconds" -ge 1 ] || other_seconds=1
status=0
set +e
fuzz fuzz_rtfreader "$rtf_seconds" "$work/found" "$work/seeds" -dict="$root/fuzz/rtf.dict" || status=$?
if [ $status -eq 0 ]; then
    fuzz fuzz_docxreader "$other_seconds" "$work/docx/found" "$work/docx/seeds" || status=$?
fi
if [ $status -eq 0 ]; then
    fuzz fuzz_odtreader "$other_seconds" "$work/odt/found" "$work/odt/seeds" || status=$?
fi
set -e
if [ $status -ne 0 ]; then
    echo "fuzz.sh: the fuzzer stopped with status $status; inputs in $build/artifacts/" >&2
fi
exit $status
