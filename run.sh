#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrama 32: without switches the window, with
# switches a batch run, for example:
#   ./run.sh '/IN:samples/english-gw65.log' '/OUT:/tmp/k/po1' '/OPTIONS:5110;.'
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
source "$root/tools/setup.sh"
install_missing_packages > /dev/null
build_project "$root" > /dev/null
exec "$root/build/src/kestrama32" "$@"
