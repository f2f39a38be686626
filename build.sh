#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine: installs what is missing, builds, then
#   ./build.sh demo    cuts the sample job on the built-in cutter simulator
#   ./build.sh test    runs the whole test suite: the normal build, then the same suite built
#                      with AddressSanitizer + UndefinedBehaviorSanitizer (build-asan), then
#                      every fuzzer for KT_FUZZ_SECONDS (default 60) each (build-fuzz, clang-14)
#   ./build.sh build   only builds
# KT_TEST_STAGES="normal asan fuzz" picks the stages of "test" (default: all three, in order).
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

# Any sanitizer report ends the test that made it. Leaks are checked at exit; the
# suppressions cover only allocations that Qt and the system keep for the process lifetime.
sanitizer_env() {
    export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:fast_unwind_on_malloc=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$here/tests/sanitizers/lsan.supp:print_suppressions=0"
}

install_packages
case "$what" in
    build) build build -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
    demo)
        build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
        exec build/bin/ktrv8 demo "$@" ;;
    test)
        stages=" ${KT_TEST_STAGES:-normal asan fuzz} "
        started=$SECONDS
        if [[ $stages == *" normal "* ]]; then
            build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
            (cd build && ctest --output-on-failure -j"$(nproc)" "$@")
        fi
        if [[ $stages == *" asan "* ]]; then
            # Benchmarks add build time and prove nothing about memory safety.
            build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKT_SANITIZE=ON -DKT_BUILD_BENCH=OFF
            (cd build-asan && sanitizer_env && ctest --output-on-failure -j"$(nproc)" "$@")
        fi
        echo "test: stages before the fuzzers took $((SECONDS - started)) s"
        if [[ $stages == *" fuzz "* ]]; then
            cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
                -DKT_BUILD_FUZZ=ON -DKT_BUILD_TESTS=OFF -DKT_BUILD_TOOLS=OFF -DKT_BUILD_BENCH=OFF >/dev/null
            cmake --build build-fuzz --target fuzzers -j"$(nproc)"
            fuzz/run.sh build-fuzz
        fi
        ;;
    *) echo "usage: $0 [build|demo|test]" >&2; exit 2 ;;
esac
