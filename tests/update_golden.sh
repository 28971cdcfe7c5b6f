#!/usr/bin/env bash
# Writes the reports of the current build over the approved copies in tests/golden/ and shows
# what changed. Read the diff before committing it: an approved copy is a promise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$root/build" -j "$(nproc)" > /dev/null
KESTRAMA_UPDATE_GOLDEN=1 "$root/build/tests/core_tests" --gtest_filter='Cases/Golden.*' > /dev/null
git -C "$root" status --short tests/golden
git -C "$root" diff --stat tests/golden
