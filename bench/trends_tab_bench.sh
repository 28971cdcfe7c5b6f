#!/usr/bin/env bash
# The Trends tab over 52 weekly runs of 10,000 mailboxes: filled and painted, against reading
# the same rows from the history store alone. Prints the figures; judges nothing but the 1 s
# target it names.
#
#   bench/trends_tab_bench.sh [BUILD_DIR] [RUNS] [MAILBOXES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen "$build/bench/trends_tab_bench" "$work" "${2:-52}" "${3:-10000}" 2>/dev/null
