#!/usr/bin/env bash
# Sets up the machine and runs every test headless: the normal build of the program
# and the benchmarks, its installed tree checked with the desktop's validators and
# its Debian package with lintian, the whole suite built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then a bounded fuzzing run of the RTF reader.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# Each step says when it starts, in seconds since the start, so that a slow run
# shows where its time went.
phase() { echo "== $* (at $SECONDS s)"; }

# The suite is built and run once, in a debug build with the sanitizers: its
# assertions and the sanitizers check more than an optimised run, and building the
# tests a second time without them took half of the normal build. The normal build is the program as installed and packaged,
# and the benchmarks, built so that none of them is left behind by a change.
bash scripts/setup.sh -DORVO_TESTS=OFF -DORVO_BENCH=ON

export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1
jobs=$(nproc)

phase installed tree and Debian package
bash scripts/check-install.sh build --package

phase tests under AddressSanitizer and UndefinedBehaviorSanitizer
# Line tables only: the sanitizers' reports still name file and line, and the
# build takes a fifth less time than with full debug information.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DORVO_SANITIZE=ON -DORVO_BENCH=OFF -DORVO_UNITY=ON >/dev/null
cmake --build build-asan -j"$jobs"
# intercept_tls_get_addr=0: GCC 12's sanitizer runtime can take a block of
# dynamic thread-local storage for one laid out as old glibc did, and the leak
# checker then dies scanning a range that does not exist ("Tracer caught
# signal 11") after every test has passed. Static thread-local storage is
# still scanned.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1:strict_string_checks=1:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/tests/ubsan.supp"
# The fuzzing runs beside the tests: they leave a core idle for much of their time
# (the X server's tests run one at a time, the large documents' test is the last
# to end), and the fuzzer's build and run take about one core. Its output follows
# the tests'.
fuzz_status=0
if [ -f scripts/fuzz.sh ]; then
    phase "tests, and beside them the fuzzing of the RTF reader"
    fuzzlog=$(mktemp "${TMPDIR:-/tmp}/orvo-fuzz-log.XXXXXX")
    bash scripts/fuzz.sh "${ORVO_FUZZ_SECONDS:-60}" >"$fuzzlog" 2>&1 &
    fuzz=$!
fi
set +e
ctest --test-dir build-asan -j"$jobs" --timeout 900
tests_status=$?
if [ -n "${fuzz:-}" ]; then
    wait "$fuzz"
    fuzz_status=$?
    phase "fuzzing the RTF reader (status $fuzz_status): its output"
    if [ "$fuzz_status" -eq 0 ]; then tail -n 15 "$fuzzlog"; else cat "$fuzzlog"; fi
    rm -f "$fuzzlog"
fi
set -e
phase done
[ "$tests_status" -eq 0 ] && [ "$fuzz_status" -eq 0 ]
