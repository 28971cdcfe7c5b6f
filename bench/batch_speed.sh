#!/usr/bin/env bash
# Speed and memory of a batch run on a large log, against the I/O floor measured on the same
# files in the same invocation (so the figures do not depend on the machine).
#
#   bench/batch_speed.sh [BUILD_DIR] [MAILBOXES]
#
# Makes a GroupWise 6.5 log with problem lines once (850,000 mailboxes, about 1 GB, kept in
# bench/out or $BENCH_DIR) and runs the batch program on it once to learn the reports' sizes.
# Then, each the best of three runs with the log in the page cache:
#   I/O floor  read the log (cat), and write as many bytes as report.csv and report.mht hold to
#              two new files and fsync both, as the program does with its reports
#   grep       grep -c 'Checking user' on the log, a second reference
#   debug off  the batch run with /OPTIONS:5130;.
#   default    the batch run with /OPTIONS:5110;. (debug log "Disk only")
# Prints the seconds of each and the runs' ratios to the floor and to grep, and the peak memory
# (maximum resident set) of the default runs. Targets: debug off within 1.5 times the floor,
# default within 2 times, peak memory at most 100 MB with 850,000 mailboxes.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
mailboxes=${2:-850000}
work=${BENCH_DIR:-$here/bench/out}
mkdir -p "$work"
log="$work/gw65-$mailboxes.log"
program="$build/src/kestrama32"

if [ ! -f "$log" ]; then
    echo "making $log ($mailboxes mailboxes)..."
    "$build/src/kestrama32-dummylog" "$log" "$mailboxes" 3 --problems
fi
cat "$log" > /dev/null  # into the page cache

# One run of "$@"; prints "seconds peak_kB". A failing command ends the script: its time would
# mean nothing.
measure() {
    # The files of the run before are removed untimed, so that the floor and the program both
    # write new files (freeing a replaced 500 MB report is the file system's work, not theirs);
    # the earlier runs' writes are put on disk first, so that their write-back does not slow
    # this run.
    rm -f "$work/floor.csv" "$work/floor.mht" "$work/report.csv" "$work/report.mht"
    sync
    # Output not to /dev/null: grep stops at the first match when it sees its output discarded.
    if ! /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" > "$work/out.txt"; then
        echo "failed: $*" >&2
        cat "$work/time.txt" >&2
        exit 1
    fi
    tail -n 1 "$work/time.txt"
}

# Best seconds and highest peak of three runs of "$@"; prints "seconds peak_kB".
best() {
    local runs=() i
    for i in 1 2 3; do runs+=("$(measure "$@")"); done
    printf '%s\n' "${runs[@]}" | awk 'NR == 1 || $1 < s {s = $1} $2 > m {m = $2} END {print s, m}'
}

# The first run gives the reports' sizes (and warms up the program's own files).
measure "$program" "/IN:$log" "/OUT:$work/report" '/OPTIONS:5110;.' > /dev/null
csv_bytes=$(stat -c %s "$work/report.csv")
mht_bytes=$(stat -c %s "$work/report.mht")
rows=$(($(wc -l < "$work/report.csv") - 2))

floor() {  # LOG CSV_BYTES MHT_BYTES: what any program must do to read the log and write the reports
    cat "$1" > /dev/null
    dd if=/dev/zero of="$work/floor.csv" bs=1M count="$2" iflag=count_bytes conv=fsync status=none
    dd if=/dev/zero of="$work/floor.mht" bs=1M count="$3" iflag=count_bytes conv=fsync status=none
}
export -f floor
export work

read -r floor_s _ < <(best bash -c 'floor "$@"' floor "$log" "$csv_bytes" "$mht_bytes")
read -r grep_s _ < <(best grep -c 'Checking user' "$log")
read -r off_s _ < <(best "$program" "/IN:$log" "/OUT:$work/report" '/OPTIONS:5130;.')
read -r def_s def_kb < <(best "$program" "/IN:$log" "/OUT:$work/report" '/OPTIONS:5110;.')
rm -f "$work/floor.csv" "$work/floor.mht" "$work/out.txt" "$work/time.txt"

mb() { awk -v b="$1" 'BEGIN {printf "%.1f MB", b / 1048576}'; }
# NAME SECONDS [TARGET_RATIO]: one line of the table.
row() {
    awk -v n="$1" -v s="$2" -v t="${3:-}" -v f="$floor_s" -v g="$grep_s" 'BEGIN {
        r = s / f
        printf "%-24s %6.2f s %8.2fx %8.2fx", n, s, r, s / g
        if (t != "") printf "   <= %.1fx floor: %s", t, (r <= t) ? "met" : "MISSED"
        printf "\n"
    }'
}
echo "log:     $(mb "$(stat -c %s "$log")"), $mailboxes mailboxes, $rows report rows"
echo "reports: $(mb $((csv_bytes + mht_bytes))) (report.csv $(mb "$csv_bytes"), report.mht $(mb "$mht_bytes"))"
echo "floor:   cat the log; write the reports' bytes to two new files and fsync both"
echo
printf '%-24s %8s %9s %9s   %s\n' "" "time" "x floor" "x grep" "target"
row "I/O floor" "$floor_s"
row "grep -c 'Checking user'" "$grep_s"
row "batch, debug off 5130;." "$off_s" 1.5
row "batch, default 5110;." "$def_s" 2.0
awk -v kb="$def_kb" -v n="$mailboxes" 'BEGIN {
    mb = kb / 1024
    printf "%-24s %6.0f MB   target <= 100 MB at 850,000 mailboxes%s\n", "peak memory, default", mb,
           (n == 850000) ? ((mb <= 100) ? ": met" : ": MISSED") : " (not this log size)"
}'
