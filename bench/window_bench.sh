#!/usr/bin/env bash
# The window with large logs: a window-mode run against the batch run of the same 200 MB log
# (with the event-loop turns the window makes meanwhile), and the result grid over 850,000
# mailboxes (fill, first paint, scrolling, memory). Prints the figures; judges nothing.
#
#   bench/window_bench.sh [BUILD_DIR] [RUN_MAILBOXES] [GRID_MAILBOXES]
#
# Needs a display: it starts its own virtual screen when DISPLAY is not set.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
run_mailboxes=${2:-170000}    # about 200 MB
grid_mailboxes=${3:-850000}   # about 1 GB
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "making the logs in $work..."
"$build/src/kestrama32-dummylog" "$work/run.log" "$run_mailboxes" 4 --problems
"$build/src/kestrama32-dummylog" "$work/grid.log" "$grid_mailboxes" 4 --problems
cat "$work/run.log" "$work/grid.log" > /dev/null  # into the page cache

export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
bench=("$build/bench/window_bench" "$build/src/kestrama32" "$work/run.log" "$work/grid.log" "$work")
if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "${bench[@]}"
else
    "${bench[@]}"
fi
