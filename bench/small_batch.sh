#!/usr/bin/env bash
# Start-up cost of a batch run: the time and memory of kestrama32 on a 3 KB sample, where
# loading the program is most of the work, beside `cat` of the same file in the same
# invocation (what any program costs to start on this machine).
#
#   bench/small_batch.sh [BUILD_DIR] [RUNS] [OTHER_PROGRAM...]
#
# Each program is run RUNS times (20 by default) with the default options (5110;., debug log
# on disk); the best wall time is printed in milliseconds, with the peak memory (resident set,
# from /usr/bin/time) and the number of shared libraries the program needs. OTHER_PROGRAMs are
# other builds of kestrama32 measured the same way, to compare. Targets for kestrama32: at most
# 15 ms and 15 MB. The reports go to a temporary folder under $TMPDIR (else /tmp); both are
# flushed to disk before they replace the old pair, so on a disk busy with other work the
# writes, not the program, take most of the time (TMPDIR=/dev/shm leaves them out).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
runs=${2:-20}
shift $(($# < 2 ? $# : 2))
sample=$here/samples/english-gw652.log
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

best_ms() {  # best wall time in milliseconds of $runs runs of "$@"
    local best="" start end ms
    for ((i = 0; i < runs; i++)); do
        start=$EPOCHREALTIME
        "$@" > /dev/null
        end=$EPOCHREALTIME
        ms=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", (e - s) * 1000 }')
        if [ -z "$best" ] || awk -v a="$ms" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$ms
        fi
    done
    echo "$best"
}

peak_mb() {  # peak resident memory in MB of one run of "$@"
    /usr/bin/time -f '%M' -o "$work/time.txt" "$@" > /dev/null
    awk '{ printf "%.1f", $1 / 1024 }' "$work/time.txt"
}

libraries() {  # shared libraries the program needs, all the way down
    ldd "$(command -v "$1")" 2> /dev/null | grep -c '=>' || true
}

row() {  # NAME COMMAND...
    local name=$1
    shift
    "$@" > /dev/null  # once into the page cache
    printf '%-34s %9s %9s %6s\n' "$name" "$(best_ms "$@")" "$(peak_mb "$@")" "$(libraries "$1")"
}

args=("/IN:$sample" "/OUT:$work/report" '/OPTIONS:5110;.')
echo "sample: ${sample#"$here"/} ($(stat -c %s "$sample") bytes), best of $runs runs"
printf '%-34s %9s %9s %6s\n' "" "wall ms" "peak MB" "libs"
row "cat" cat "$sample"
row "kestrama32 (${build#"$here"/})" "$build/src/kestrama32" "${args[@]}"
for other in "$@"; do
    row "$other" "$other" "${args[@]}"
done
echo "targets for kestrama32: at most 15 ms and 15 MB"
