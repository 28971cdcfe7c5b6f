#!/usr/bin/env bash
# What keeping history costs: batch runs with /HISTORY: beside the same runs without it, measured
# in the same invocation (so the ratios do not depend on the machine).
#
#   bench/history_bench.sh [BUILD_DIR] [MAILBOXES]
#
# Logs and stores are kept in bench/out (or $BENCH_DIR); the large log is the one that
# bench/batch_speed.sh makes (a GroupWise 6.5 log with problem lines, 850,000 mailboxes).
#
# (a) Recording MAILBOXES mailboxes, each the best of three runs with /OPTIONS:5130;. (debug log
#     off, so that only the history differs), with the highest peak memory of the three and the
#     least processor time (user and system, both cores together):
#       without history   the batch run alone
#       first run         with /HISTORY: into a new store
#       second week       with /HISTORY: into a store that already holds the same post office's
#                         run of a week before (the trends then compare every mailbox)
#     Target: history adds at most 50% to the run.
# (b) Trends over a year: a store of 52 weekly runs of 10,000 mailboxes, the 53rd run recorded
#     into it, best of three (each from a fresh copy of the store), beside the same run without
#     history. The store is not made from 52 logs: one real run of the 10,000-mailbox log is
#     recorded, then copied with sqlite3 to the 52 weeks before it (sizes 0.4% smaller each week
#     back, so that every mailbox grows), and the real run deleted, which is much faster and
#     gives the same rows. Target: the history's part of the run (recording the run, reading the
#     52 earlier runs, the trends and writing both trend files) at most 1 s.
# (c) Store size: bytes of the store file per million mailbox rows, for the stores of (a) and (b).
# (d) A year recorded at once: 52 weekly logs of 10,000 mailboxes (the log of (b) with its date
#     moved a week at a time) recorded with one `kestrama32 history import` into a new store,
#     beside the same logs recorded one by one, by date, with /HISTORY: batch runs (which also
#     write their reports and trend reports, as an administrator without the import would).
#     Target: the import no slower.
#     Then `kestrama32 history report` writes the trend reports of the newest of those 52 runs
#     from the store alone, best of three. Target: within 1 s.
#
#   HISTORY_BENCH_ONLY=import bench/history_bench.sh   measures (d) alone, without the large log
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
mailboxes=${2:-850000}
work=${BENCH_DIR:-$here/bench/out}
mkdir -p "$work"
program="$build/src/kestrama32"
dummylog="$build/src/kestrama32-dummylog"
for tool in "$program" "$dummylog"; do
    [ -x "$tool" ] || { echo "missing $tool: build the project first (./test.sh)" >&2; exit 1; }
done
command -v sqlite3 > /dev/null || { echo "missing sqlite3 (tools/setup.sh installs it)" >&2; exit 1; }

big="$work/gw65-$mailboxes.log"
year="$work/gw65-10000.log"
only=${HISTORY_BENCH_ONLY:-}
if [ "$only" != import ]; then
    [ -f "$big" ] || { echo "making $big ($mailboxes mailboxes)..."; "$dummylog" "$big" "$mailboxes" 3 --problems; }
    cat "$big" > /dev/null  # into the page cache
fi
[ -f "$year" ] || "$dummylog" "$year" 10000 3 --problems

store="$work/history.sqlite"
remove_store() { rm -f "$1" "$1-wal" "$1-shm" "$1-journal"; }

# "seconds peak_kB cpu_seconds" (user and system) of one batch run of LOG with the switches after it, after PREPARE (a
# command, untimed) has run. A failing run ends the script: its time would mean nothing.
measure() {  # PREPARE LOG [SWITCH...]
    local prepare=$1 log=$2
    shift 2
    rm -f "$work"/report.csv "$work"/report.mht "$work"/report-trends.*
    $prepare
    sync
    if ! /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" \
        "$program" "/IN:$log" "/OUT:$work/report" '/OPTIONS:5130;.' "$@" > /dev/null; then
        echo "failed: $program /IN:$log $*" >&2
        cat "$work/time.txt" >&2
        exit 1
    fi
    tail -n 1 "$work/time.txt" | awk '{print $1, $2, $3 + $4}'
}

# The best seconds, the highest peak and the least processor time of three runs. The processor
# time (both cores together) shows the work done, which other load on the machine changes less
# than the elapsed time.
best() {  # PREPARE LOG [SWITCH...]
    local runs=() i
    for i in 1 2 3; do runs+=("$(measure "$@")"); done
    printf '%s\n' "${runs[@]}" |
        awk 'NR == 1 || $1 < s {s = $1} $2 > m {m = $2} NR == 1 || $3 < c {c = $3} END {print s, m, c}'
}

nothing() { :; }
fresh_store() { remove_store "$store"; }
week_store() {  # the store with last week's run in it, copied afresh
    remove_store "$store"
    cp "$work/week.sqlite" "$store"
}
year_store() {
    remove_store "$store"
    cp "$work/year.sqlite" "$store"
}

rows_of() { sqlite3 "$1" 'SELECT count(*) FROM mailboxes'; }
bytes_of() {  # the store and what its write-ahead log still holds
    local b
    b=$(stat -c %s "$1")
    [ -f "$1-wal" ] && b=$((b + $(stat -c %s "$1-wal")))
    echo "$b"
}

# Shifts a store's runs back in time: run 1 becomes WEEKS runs, a week apart, ending a week
# before run 1, each 0.4% smaller per week back; run 1 itself is deleted.
copy_back() {  # STORE WEEKS
    sqlite3 "$1" <<EOF
BEGIN;
WITH RECURSIVE w(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM w WHERE k < $2)
INSERT INTO runs (id, po_name, po_path, gw_version, language, processed_on, processed_at,
                  log_path, log_bytes, recorded_at, mailboxes, total_mb)
SELECT 1000 + k, po_name, po_path, gw_version, language, processed_on || ' (week -' || k || ')',
       strftime('%Y-%m-%dT%H:%M:%S', processed_at, '-' || (7 * k) || ' days'), log_path,
       log_bytes, recorded_at, mailboxes, 0
FROM runs, w WHERE id = 1 ORDER BY k DESC;
INSERT INTO mailboxes (run_id, username, fullname, size_mb, inbox, outbox, wastebin, limit_mb,
                       threshold_pct, exceeded, uid)
SELECT r.id, m.username, m.fullname, round(m.size_mb * (1 - 0.004 * (r.id - 1000))), m.inbox,
       m.outbox, m.wastebin, m.limit_mb, m.threshold_pct, m.exceeded, m.uid
FROM runs r, mailboxes m WHERE r.id > 1000 AND m.run_id = 1 ORDER BY r.id DESC, m.rowid;
UPDATE runs SET total_mb = (SELECT coalesce(sum(size_mb), 0) FROM mailboxes WHERE run_id = runs.id)
WHERE id > 1000;
DELETE FROM mailboxes WHERE run_id = 1;
DELETE FROM runs WHERE id = 1;
COMMIT;
VACUUM;
EOF
}

# (d): prints "import_seconds batch_seconds report_seconds". The 52 logs are written anew each
# time.
import_bench() {
    local logs="$work/weeks" k day imported="$work/imported.sqlite" batch="$work/batch.sqlite"
    rm -rf "$logs"
    mkdir -p "$logs"
    for k in $(seq 0 51); do
        day=$(LC_ALL=C date -u -d "2003-01-05 + $((7 * k)) days" '+%B %-d, %Y')
        # The dummy log's date is "May 31, 2003"; only the header's line names it.
        sed "0,/May 31, 2003/s//$day/" "$year" > "$logs/week-$(printf %02d "$k").log"
    done
    cat "$logs"/*.log > /dev/null
    remove_store "$imported"
    remove_store "$batch"
    local t0 t1 t2
    t0=$(date +%s.%N)
    # Given newest first: the import orders them by date itself.
    if ! "$program" history import "--history=$imported" $(ls -r "$logs"/*.log) > "$work/import.txt"; then
        echo "failed: history import" >&2
        cat "$work/import.txt" >&2
        exit 1
    fi
    t1=$(date +%s.%N)
    # The trend reports of the newest run from the 52 runs of the store, best of three.
    local report=999 r0 r1
    for _ in 1 2 3; do
        rm -f "$work"/again-trends.*
        r0=$(date +%s.%N)
        "$program" history report "--history=$imported" "$work/again" > /dev/null ||
            { echo "failed: history report --history=$imported" >&2; exit 1; }
        r1=$(date +%s.%N)
        report=$(awk -v a="$r0" -v b="$r1" -v best="$report" 'BEGIN {t = b - a; print (t < best) ? t : best}')
    done
    [ -s "$work/again-trends.html" ] && [ -s "$work/again-trends.csv" ] ||
        { echo "history report wrote no trend reports" >&2; exit 1; }
    rm -f "$work"/again-trends.*
    for log in "$logs"/*.log; do
        "$program" "/IN:$log" "/OUT:$work/report" '/OPTIONS:5130;.' "/HISTORY:$batch" > /dev/null ||
            { echo "failed: $program /IN:$log /HISTORY:$batch" >&2; exit 1; }
    done
    t2=$(date +%s.%N)
    [ "$(rows_of "$imported")" = 520000 ] && [ "$(rows_of "$batch")" = 520000 ] ||
        { echo "the stores do not hold 52 runs of 10,000 mailboxes" >&2; exit 1; }
    remove_store "$imported"
    remove_store "$batch"
    rm -rf "$logs" "$work/import.txt"
    rm -f "$work"/report.csv "$work"/report.mht "$work"/report-trends.*
    awk -v a="$t0" -v b="$t1" -v c="$t2" -v r="$report" 'BEGIN {print b - a, c - b, r}'
}

import_row() {  # IMPORT_SECONDS BATCH_SECONDS REPORT_SECONDS
    echo "(d) 52 weekly logs of 10,000 mailboxes recorded into a new store"
    awk -v i="$1" -v b="$2" -v r="$3" 'BEGIN {
        printf "%-36s %7.2f s\n", "one by one, /HISTORY: batch runs", b
        printf "%-36s %7.2f s %7.2fx   (target <= 1: %s)\n", "history import, one command", i,
               i / b, (i <= b) ? "met" : "MISSED"
        printf "%-36s %7.3f s            (target <= 1 s: %s)\n", "history report of the newest run", r,
               (r <= 1) ? "met" : "MISSED"
    }'
}

if [ "$only" = import ]; then
    echo "measuring..."
    read -r d_import d_batch d_report < <(import_bench)
    echo
    import_row "$d_import" "$d_batch" "$d_report"
    exit 0
fi

echo "preparing the stores..."
# (a)'s second week: the big log's run moved a week back.
remove_store "$work/week.sqlite"
measure nothing "$big" "/HISTORY:$work/week.sqlite" > /dev/null
copy_back "$work/week.sqlite" 1
# (b): the 10,000-mailbox run copied to the 52 weeks before it.
remove_store "$work/year.sqlite"
measure nothing "$year" "/HISTORY:$work/year.sqlite" > /dev/null
copy_back "$work/year.sqlite" 52

echo "measuring..."
read -r a_off a_off_kb a_off_cpu < <(best nothing "$big")
read -r a_first a_first_kb a_first_cpu < <(best fresh_store "$big" "/HISTORY:$store")
first_rows=$(rows_of "$store")
first_bytes=$(bytes_of "$store")
read -r a_week a_week_kb a_week_cpu < <(best week_store "$big" "/HISTORY:$store")
read -r d_import d_batch d_report < <(import_bench)
read -r b_off _ _ < <(best nothing "$year")
read -r b_on _ _ < <(best year_store "$year" "/HISTORY:$store")
year_runs=$(sqlite3 "$store" 'SELECT count(*) FROM runs')
year_rows=$(rows_of "$store")
year_bytes=$(bytes_of "$store")
[ -s "$work/report-trends.html" ] && [ -s "$work/report-trends.csv" ] ||
    { echo "the trend reports were not written" >&2; exit 1; }
# The stores are made anew by each invocation: none is kept.
for f in "$store" "$work/week.sqlite" "$work/year.sqlite"; do remove_store "$f"; done
rm -f "$work/time.txt"

mb() { awk -v b="$1" 'BEGIN {printf "%.1f MB", b / 1048576}'; }
# NAME SECONDS PEAK_KB CPU [BASE_SECONDS BASE_CPU]: one line of (a).
ratio_row() {
    awk -v n="$1" -v s="$2" -v kb="$3" -v c="$4" -v b="${5:-}" -v bc="${6:-}" 'BEGIN {
        printf "%-36s %7.2f s %6.0f MB %7.2f s", n, s, kb / 1024, c
        if (b != "") {
            r = s / b
            printf " %7.2fx   adds %4.0f%% (target <= 50%%: %s)   cpu %5.2fx", r, (r - 1) * 100,
                   (r <= 1.5) ? "met" : "MISSED", c / bc
        }
        printf "\n"
    }'
}
echo
echo "(a) recording $mailboxes mailboxes ($(mb "$(stat -c %s "$big")") log), best of three"
printf '%-36s %9s %9s %9s %8s\n' "" "time" "peak" "cpu" "ratio"
ratio_row "without history" "$a_off" "$a_off_kb" "$a_off_cpu"
ratio_row "with history, first run" "$a_first" "$a_first_kb" "$a_first_cpu" "$a_off" "$a_off_cpu"
ratio_row "with history, a week after one run" "$a_week" "$a_week_kb" "$a_week_cpu" "$a_off" \
    "$a_off_cpu"
echo
echo "(b) the 53rd weekly run of 10,000 mailboxes ($year_runs runs in the store after it), best of three"
awk -v off="$b_off" -v on="$b_on" 'BEGIN {
    printf "%-36s %7.3f s %7.2fx\n", "without history", off, 1
    printf "%-36s %7.3f s %7.2fx\n", "with history and trend reports", on, on / off
    printf "%-36s %7.3f s            (target <= 1 s: %s)\n", "history and trends part", on - off,
           (on - off <= 1) ? "met" : "MISSED"
}'
echo
echo "(c) store size"
awk -v b="$first_bytes" -v r="$first_rows" -v name="one run of $mailboxes mailboxes" 'BEGIN {
    printf "%-36s %9d rows %10.1f MB   %6.1f MB per million rows\n", name, r, b / 1048576,
           b / r * 1e6 / 1048576 }'
awk -v b="$year_bytes" -v r="$year_rows" -v name="$year_runs weekly runs of 10,000 mailboxes" 'BEGIN {
    printf "%-36s %9d rows %10.1f MB   %6.1f MB per million rows\n", name, r, b / 1048576,
           b / r * 1e6 / 1048576 }'
echo
import_row "$d_import" "$d_batch" "$d_report"
