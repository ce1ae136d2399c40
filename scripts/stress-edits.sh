#!/usr/bin/env bash
# The long editing stress run: seeded random edits on every corpus document (or the
# documents named), each run in its own process, bounded in time per step. A failing
# sequence is cut down to the few steps that still fail and kept, replayable, in the
# output folder:
#
#   scripts/stress-edits.sh [-s SEEDS] [-n STEPS] [-j JOBS] [-b BUILD] [-o OUT] [DOC...]
#
#   build/tests/stress_edits replay DOC OUT/NAME-SEED.steps.min   # to see it again
#
# Defaults: seeds 1 to 4, 300 steps, 2 jobs, the build in build/, the output in
# stress-out/. Prints one line per document and seed, and the totals.
set -uo pipefail
cd "$(dirname "$0")/.."
seeds=4
steps=300
jobs=2
build=build
out=stress-out
stepSeconds=60
while getopts "s:n:j:b:o:t:" opt; do
    case $opt in
        s) seeds=$OPTARG ;;
        n) steps=$OPTARG ;;
        j) jobs=$OPTARG ;;
        b) build=$OPTARG ;;
        o) out=$OPTARG ;;
        t) stepSeconds=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
corpus=${ORVO_RTF_CORPUS:-../shared/rtf-corpus}
docs=("$@")
if [ ${#docs[@]} -eq 0 ]; then
    docs=("$corpus"/*.rtf)
fi
mkdir -p "$out"
# A copy of the program: a build meanwhile does not disturb the run.
cp "$build/tests/stress_edits" "$out/stress_edits"
runner=$(realpath "$out/stress_edits")
export QT_QPA_PLATFORM=offscreen

one() {
    local doc=$1 seed=$2
    local name
    name=$(basename "$doc" .rtf)-$seed
    local log="$out/$name.steps"
    "$runner" run "$doc" "$seed" "$steps" --log "$log" --step-seconds "$stepSeconds" \
        >"$out/$name.out" 2>"$out/$name.err"
    local status=$?
    if [ $status -eq 0 ]; then
        echo "clean  $name $steps"
        rm -f "$log" "$out/$name.out" "$out/$name.err"
        return
    fi
    local why
    why=$(grep -m1 '^FAILURE' "$out/$name.err")
    [ -n "$why" ] || why="ended with status $status"
    echo "FAILED $name: $why"
    "$runner" shrink "$doc" "$log" --step-seconds "$stepSeconds" >"$out/$name.shrunk" 2>/dev/null
}
export -f one
export runner steps out stepSeconds

for doc in "${docs[@]}"; do
    for seed in $(seq 1 "$seeds"); do
        printf '%s\t%s\n' "$doc" "$seed"
    done
done | xargs -P "$jobs" -L 1 bash -c 'one "$0" "$1"' | tee "$out/summary.txt"
clean=$(grep -c '^clean' "$out/summary.txt")
failed=$(grep -c '^FAILED' "$out/summary.txt")
echo "== ${#docs[@]} documents x $seeds seeds x $steps steps: $clean runs clean, $failed failed"
[ "$failed" -eq 0 ]
