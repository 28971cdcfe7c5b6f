#!/usr/bin/env bash
# Memory and time of batch runs on very large inputs (not part of the test suite).
#
#   bench/sizes.sh [BUILD_DIR] [MAILBOXES]
#
# 1. A GroupWise 6.5.2 log with problem lines and MAILBOXES mailboxes (default 5,000,000, about
#    6 GB), and one of a fifth of that: the batch run's peak memory and time for each. Memory must
#    grow with the records alone (the larger log's peak about five times the smaller one's less
#    the fixed part) and stay under 1 GB.
# 2. One 2 GB line without a line end: the run must end with exit 3 (no statistics) and its
#    memory stay flat (as for a log of a few lines).
# The logs are written into a temporary folder under $BENCH_TMP (default /tmp), which needs
# about 9 GB free, and removed afterwards.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
mailboxes=${2:-5000000}
tmp_root=${BENCH_TMP:-/tmp}

free_gb=$(df -BG --output=avail "$tmp_root" | tail -n 1 | tr -dc '0-9')
if [ "$free_gb" -lt 9 ]; then
    echo "need about 9 GB free in $tmp_root, found ${free_gb} GB" >&2
    exit 1
fi
work=$(mktemp -d "$tmp_root/k32-sizes-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Runs the batch program on a log; prints "exit peak_MB seconds".
measure() {
    local log=$1 code
    set +e
    /usr/bin/time -v -o "$work/time.txt" "$build/src/kestrama32" "/IN:$log" "/OUT:$work/report" \
        '/OPTIONS:5110;.' > /dev/null 2> "$work/stderr.txt"
    code=$?
    set -e
    local kb secs
    kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
    secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt" |
        awk -F: '{s = 0; for (i = 1; i <= NF; ++i) s = s * 60 + $i; printf "%.1f", s}')
    echo "$code $((kb / 1024)) $secs"
}

status=0
small=$((mailboxes / 5))
declare -A peak
for n in "$small" "$mailboxes"; do
    log="$work/gw652-$n.log"
    start=$(date +%s)
    "$build/src/kestrama32-dummylog" "$log" "$n" 4 --problems
    made=$(( $(date +%s) - start ))
    read -r code mb secs < <(measure "$log")
    peak[$n]=$mb
    echo "$n mailboxes: log $(du -h "$log" | cut -f1) (made in ${made} s); exit $code, peak ${mb} MB, ${secs} s"
    [ "$code" -eq 0 ] || { echo "  FAIL: exit $code: $(cat "$work/stderr.txt")"; status=1; }
    rm -f "$log" "$work/report.csv" "$work/report.mht"
done
per_million=$(( (peak[$mailboxes] - peak[$small]) * 1000000 / (mailboxes - small) ))
echo "memory per million mailboxes: ${per_million} MB"
if [ "${peak[$mailboxes]}" -ge 1024 ]; then
    echo "  FAIL: peak memory ${peak[$mailboxes]} MB, above 1 GB"
    status=1
fi

printf 'x\r\n' > "$work/tiny.log"
read -r _ tiny_mb _ < <(measure "$work/tiny.log")
head -c 2G /dev/zero | tr '\0' 'x' > "$work/long-line.log"
read -r code mb secs < <(measure "$work/long-line.log")
echo "one 2 GB line without a line end: exit $code, peak ${mb} MB (a two-byte log: ${tiny_mb} MB), ${secs} s"
[ "$code" -eq 3 ] || { echo "  FAIL: exit $code, expected 3"; status=1; }
[ "$mb" -le $((tiny_mb + 16)) ] || { echo "  FAIL: memory grew with the line"; status=1; }
exit $status
