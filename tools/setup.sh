#!/usr/bin/env bash
# Shared by run.sh, test.sh and tools/check_format.sh: installs the Debian packages the build
# and the tests need (only those missing), then configures and builds a preset of
# CMakePresets.json.
set -euo pipefail

KESTRAMA_PACKAGES=(
    cmake g++ make                 # the build
    libgtest-dev libgmock-dev      # core tests
    qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin  # window, web report viewer
    qt6-pdf-dev                    # printed pages drawn from the web view's PDF
    xvfb xauth                     # window tests without a screen
    python3 time                   # report checks, benchmark
    systemd man-db                 # systemd-analyze verify (which looks up man pages): the weekly units
    binutils                       # readelf: the batch program's libraries
    pkg-config libsqlite3-dev sqlite3  # the history store; sqlite3 in its tests
    mandoc                         # man page lint
    desktop-file-utils appstream   # desktop entry and metainfo validators
    dpkg-dev fakeroot lintian      # Debian packages: library dependencies, build, checks
    libpq-dev postgresql           # history on a PostgreSQL server; its tests start a server
    qt6-charts-dev                 # the Trends tab's charts
    poppler-utils                  # pdftotext, pdftoppm: printed PDF files read back
)

install_missing_packages() {  # [PACKAGE...], default: those above
    local missing=() p
    [ $# -eq 0 ] && set -- "${KESTRAMA_PACKAGES[@]}"
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build_project() {  # ROOT [PRESET [BUILD_FOLDER [TARGET...]]]
    # PRESET defaults to release; BUILD_FOLDER, when given and not empty, replaces the preset's
    # own folder. KESTRAMA_JOBS sets the parallel jobs (default: one per core).
    local root=$1 preset=${2:-release} build=${3:-} target
    local jobs=${KESTRAMA_JOBS:-$(nproc)} targets=()
    for target in "${@:4}"; do targets+=(--target "$target"); done
    (
        cd "$root"
        if [ -z "$build" ]; then
            cmake --preset "$preset" > /dev/null
            cmake --build --preset "$preset" -j "$jobs" "${targets[@]}"
        else
            # A build preset always builds in its configure preset's folder.
            cmake --preset "$preset" -B "$build" > /dev/null
            cmake --build "$build" -j "$jobs" "${targets[@]}"
        fi
    )
}
