#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine: installs what is missing, builds, then
#   ./build.sh demo    cuts the sample job on the built-in cutter simulator
#   ./build.sh test    runs the whole test suite
#   ./build.sh build   only builds
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
what=${1:-build}
shift || true

install_packages() {
    local missing=()
    while read -r pkg; do
        [[ -z "$pkg" || "$pkg" == \#* ]] && continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done < packaging/debian-packages.txt
    [[ ${#missing[@]} -eq 0 ]] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [[ $(id -u) -ne 0 ]] && sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
    local dir=$1; shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

install_packages
case "$what" in
    build) build build -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
    demo)
        build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
        exec build/bin/ktrv8 demo "$@" ;;
    test)
        build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
        (cd build && ctest --output-on-failure -j"$(nproc)" "$@")
        ;;
    *) echo "usage: $0 [build|demo|test]" >&2; exit 2 ;;
esac
