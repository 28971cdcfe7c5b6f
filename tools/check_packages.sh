#!/usr/bin/env bash
# Installs the Debian packages on this machine, uses them from PATH, and removes them again.
# Run by hand (as root or with sudo), not by CI: it changes the system's package set.
#
#   tools/check_packages.sh [BUILD_DIR]     default: build/ (a release build, already built)
#
# Builds the two packages with cpack, installs them with apt-get, runs --version and a batch
# report from PATH, opens the window once on a virtual screen, and removes the packages.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
work=$(mktemp -d /tmp/k32-packages.XXXXXX)
installed=0
cleanup() {
    if [ "$installed" = 1 ]; then
        echo "== removing the packages"
        $sudo apt-get remove -y -q kestrama32-window kestrama32 > "$work/remove.log" 2>&1 ||
            { cat "$work/remove.log"; echo "FAILED: apt-get remove"; }
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "== building the packages"
(cd "$build" && cpack -G DEB -B "$work/debs" > "$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
ls "$work"/debs/*.deb | xargs -n1 basename

for p in kestrama32 kestrama32-window; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        echo "FAILED: $p is installed already; remove it first" >&2
        exit 1
    fi
done

echo "== installing with apt-get"
installed=1
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "$work"/debs/kestrama32_*.deb "$work"/debs/kestrama32-window_*.deb > "$work/install.log" 2>&1 ||
    { cat "$work/install.log"; exit 1; }
dpkg-query -W -f='${Package} ${Version} ${Status}\n' kestrama32 kestrama32-window

echo "== from PATH"
command -v kestrama32
kestrama32 --version
man -w kestrama32 kestrama32-dummylog

echo "== a batch report"
cd "$work"
kestrama32-dummylog "$work/po.log" 500 4
set +e
kestrama32 /IN:"$work/po.log" /OUT:"$work/po" /OPTIONS:"5130;."
code=$?
set -e
echo "exit code $code"
ls -l "$work"/po.csv "$work"/po.mht | awk '{print $5, $9}'
[ "$code" = 0 ] || { echo "FAILED: batch report"; exit 1; }

echo "== the window, once, on a virtual screen (8 seconds)"
export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
export KESTRAMA32_SETTINGS="$work/Kestrama32.ini"
set +e
timeout 8 xvfb-run -a -s "-screen 0 1280x1024x24" kestrama32 > "$work/window.log" 2>&1
code=$?
set -e
# 124: still open when the time ran out, which is what a window does.
if [ "$code" = 124 ]; then
    echo "the window stayed open until closed"
else
    cat "$work/window.log"
    echo "FAILED: the window ended by itself with exit code $code"
    exit 1
fi
echo "== all checks passed"
