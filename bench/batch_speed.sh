#!/usr/bin/env bash
# Speed and memory of a batch run on a large log, as a ratio against grep on the same file in
# the same invocation (so the figure does not depend on the machine).
#
#   bench/batch_speed.sh [BUILD_DIR] [MAILBOXES]
#
# Makes a GroupWise 6.5 log with problem lines (850,000 mailboxes, about 1 GB), then times
# `grep -c 'Checking user'` on it and the batch run with the default options (5110;., debug mode
# "Disk only"), each the best of three runs with the file in the page cache. Prints both times,
# their ratio and the batch run's peak memory. Targets: the ratio within 3 (4 once the web report
# is written too), peak memory below 400 MB.
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

best() {  # best wall time in seconds of three runs of "$@"
    local best=999999 t
    for _ in 1 2 3; do
        # Earlier runs' reports still being written back to disk would slow this run's writes.
        sync
        # Not to /dev/null: grep stops at the first match when it sees its output is discarded.
        t=$( { /usr/bin/time -f '%e' "$@" > "$work/out.txt"; } 2>&1 | tail -n 1 )
        best=$(echo "$t $best" | awk '{print ($1 < $2) ? $1 : $2}')
    done
    echo "$best"
}

grep_time=$(best grep -c 'Checking user' "$log")
run_time=$(best "$build/src/kestrama32" "/IN:$log" "/OUT:$work/report" '/OPTIONS:5110;.')
sync
peak_kb=$( { /usr/bin/time -f '%M' "$build/src/kestrama32" "/IN:$log" "/OUT:$work/report" '/OPTIONS:5110;.' > /dev/null; } 2>&1 | tail -n 1 )
rows=$(($(wc -l < "$work/report.csv") - 2))

echo "log:               $(du -h "$log" | cut -f1) ($mailboxes mailboxes), report rows: $rows"
echo "grep -c:           ${grep_time} s"
echo "batch run:         ${run_time} s"
echo "ratio:             $(echo "$run_time $grep_time" | awk '{printf "%.2f", $1 / $2}')x grep"
echo "peak memory:       $((peak_kb / 1024)) MB"
