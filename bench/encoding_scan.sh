#!/usr/bin/env bash
# What the scan for a log's text encoding costs a batch run on a large log, against the same
# reading without the scan in the same invocation (so the figures do not depend on the machine).
#
#   bench/encoding_scan.sh [BUILD_DIR] [MAILBOXES]
#
# Uses the log of batch_speed.sh (850,000 mailboxes, about 1 GB, made once in bench/out or
# $BENCH_DIR). Prints read_bench's reading of the log in the parts of a run with and without the
# scan (alternating, best of five each), the batch run's seconds (best of three, debug off), and
# what the scan adds as a share of the run. Target: at most 3%.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
mailboxes=${2:-850000}
work=${BENCH_DIR:-$here/bench/out}
mkdir -p "$work"
log="$work/gw65-$mailboxes.log"

if [ ! -f "$log" ]; then
    echo "making $log ($mailboxes mailboxes)..."
    "$build/src/kestrama32-dummylog" "$log" "$mailboxes" 3 --problems
fi
cat "$log" > /dev/null  # into the page cache

run_seconds() {
    rm -f "$work/scan.csv" "$work/scan.mht"
    /usr/bin/time -f '%e' -o "$work/time.txt" "$build/src/kestrama32" "/IN:$log" \
        "/OUT:$work/scan" '/OPTIONS:5130;.' > /dev/null
    tail -n 1 "$work/time.txt"
}
best=$(for i in 1 2 3; do run_seconds; done | sort -n | head -n 1)
rm -f "$work/scan.csv" "$work/scan.mht"

reads=$("$build/bench/read_bench" "$log" 2 | grep 'encoding scan')
echo "$reads"
added=$(echo "$reads" | awk '/encoding scan:/ {for (i = 1; i <= NF; ++i) if ($i ~ /^[+-][0-9.]+$/) print $i}')
echo "batch run (debug off): $best s"
awk -v a="$added" -v b="$best" \
    'BEGIN {printf "the scan adds %+.3f s: %.2f%% of the run (target: at most 3%%)\n", a, 100 * a / b}'
