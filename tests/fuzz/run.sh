#!/usr/bin/env bash
# Builds the fuzz harnesses with clang and libFuzzer (build-fuzz/), runs each for SECONDS
# (default 60) from its stored corpus and fresh seeds (the samples, the golden logs and dummy
# logs of every version), then stores the corpus again, minimised, in tests/fuzz/corpus/.
# Inputs that crash or break an invariant are kept in build-fuzz/findings/ and make the script
# fail.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-fuzz"
corpus="$root/tests/fuzz/corpus"
harnesses=(fuzz_header_reader fuzz_gw55_reader fuzz_gw6_reader fuzz_expire_reader
           fuzz_command_line fuzz_batch_run)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DKESTRAMA_FUZZ=ON -DKESTRAMA_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" -j 2 --target "${harnesses[@]}" kestrama32-dummylog

work=$(mktemp -d /tmp/k32fuzz-run-XXXXXX)
trap 'rm -rf "$work"' EXIT
seeds="$work/seeds"
mkdir -p "$seeds/logs" "$build/findings"

# Logs: the samples, the golden inputs, dummy logs of every version (small counts).
cp "$root"/samples/*.log "$seeds/logs/"
for f in "$root"/tests/golden/*/input.log; do
    cp "$f" "$seeds/logs/golden-$(basename "$(dirname "$f")").log"
done
for v in 1 2 3 4; do
    "$build/src/kestrama32-dummylog" "$seeds/logs/dummy-$v.log" 10 "$v" > /dev/null
    "$build/src/kestrama32-dummylog" "$seeds/logs/dummy-$v-problems.log" 10 "$v" --problems > /dev/null
done

# Each harness's seeds, with the leading bytes it reads as choices.
prefixed() {  # NAME PREFIX...: every log with each prefix in front
    local name=$1
    shift
    mkdir -p "$seeds/$name"
    local i=0
    for prefix in "$@"; do
        for log in "$seeds"/logs/*.log; do
            { printf "$prefix"; cat "$log"; } > "$seeds/$name/$i-$(basename "$log")"
        done
        i=$((i + 1))
    done
}
prefixed fuzz_header_reader ''
# The reader harnesses' first byte picks the keyword set of the log's language.
for h in fuzz_gw55_reader fuzz_gw6_reader fuzz_expire_reader; do
    mkdir -p "$seeds/$h"
    for log in "$seeds"/logs/*.log; do
        case $(basename "$log") in
            german*) lang='\001' ;;
            french*) lang='\002' ;;
            *) lang='\000' ;;
        esac
        { printf "$lang"; cat "$log"; } > "$seeds/$h/$(basename "$log")"
    done
done
# Sort and placement choices, separators ";" "," and a layout with the full name everywhere.
prefixed fuzz_batch_run '\015;\000\000' '\021,\001\000' '\003:\003\062'
printf '\215;\001\000Smith; John "JJ" Alexander Jr.\nO"Neil, Pat\n%s\nShort\n' \
    "$(printf 'Name;%.0s' {1..40})" > "$seeds/fuzz_batch_run/names-cut"
printf '\300;\000\000Checking user = X (y) \000 Size Limit - 1KB\r' > "$seeds/fuzz_batch_run/endless"
mkdir -p "$seeds/fuzz_command_line"
printf '/IN:a.log\000/OUT:/tmp/x\000/OPTIONS:5110;.' > "$seeds/fuzz_command_line/three"
printf '/IN:a.log\000/OUT:b\000/OPTIONS:0010,,\000/COLUMN:0123456789,HTML:1111111111,CSV:1111111111\000/TOP:10,ABOVE:500' \
    > "$seeds/fuzz_command_line/five"

failed=0
for h in "${harnesses[@]}"; do
    max_len=2048
    [ "$h" = fuzz_command_line ] && max_len=256
    mkdir -p "$work/$h" "$corpus/$h"
    cp "$corpus/$h"/. "$work/$h/" -r
    started=$(date +%s)
    if ! "$build/tests/fuzz/$h" "$work/$h" "$seeds/$h" -max_total_time="$seconds" \
            -max_len="$max_len" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$build/findings/$h-" > "$work/$h.log" 2>&1; then
        failed=1
        echo "$h: FOUND A FAULT (see $build/findings/ and below)"
        grep -E "ERROR|invariant|SUMMARY" "$work/$h.log" | head -5
    fi
    stats=$(grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/$h.log" |
            awk '{printf "%s ", $2}')
    # Minimise: keep only the inputs that add coverage, cut to 768 bytes so that the stored
    # corpora stay small.
    rm -rf "$work/$h.min" && mkdir "$work/$h.min"
    "$build/tests/fuzz/$h" -merge=1 -max_len=768 -timeout=20 "$work/$h.min" "$work/$h" \
        "$seeds/$h" > "$work/$h.merge.log" 2>&1
    rm -rf "${corpus:?}/$h" && cp -r "$work/$h.min" "$corpus/$h"
    echo "$h: $(( $(date +%s) - started )) s; executions, peak RSS MB: ${stats}; corpus" \
         "$(ls "$corpus/$h" | wc -l) files, $(du -s --apparent-size -k "$corpus/$h" | cut -f1) KB"
done
exit $failed
