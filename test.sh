#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (the window tests on a virtual screen).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
source "$root/tools/setup.sh"
install_missing_packages
build_project "$root"
cd "$root/build"
# The web engine refuses to run as root without this, and wants no GPU on a virtual screen.
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$(nproc)"
