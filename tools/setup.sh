#!/usr/bin/env bash
# Shared by run.sh and test.sh: installs the Debian packages the build and the tests need (only
# those missing), then configures and builds into build/.
set -euo pipefail

KESTRAMA_PACKAGES=(
    cmake g++ make                 # the build
    libgtest-dev libgmock-dev      # core tests
    qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin  # window, web report viewer
    xvfb xauth                     # window tests without a screen
    python3 time                   # report checks, benchmark
    binutils                       # readelf: the batch program's libraries
)

install_missing_packages() {
    local missing=()
    for p in "${KESTRAMA_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build_project() {  # ROOT [BUILD_FOLDER [CMAKE_OPTION...]]
    local root=$1 build=${2:-$1/build}
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "${@:3}" > /dev/null
    cmake --build "$build" -j "$(nproc)"
}
