#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine: installs what is missing, builds, then
#   ./build.sh demo    cuts the sample job on the built-in cutter simulator
#   ./build.sh test    runs the whole test suite: the normal build, then the same suite built
#                      with AddressSanitizer + UndefinedBehaviorSanitizer (build-asan), then
#                      every fuzzer for KT_FUZZ_SECONDS (default 60) each (build-fuzz, clang-14)
#   ./build.sh package builds the Debian package build/kt-rv8_VERSION_ARCH.deb (and runs
#                      lintian on it when installed)
#   ./build.sh build   only builds
#   ./build.sh format  rewrites the sources in the style of .clang-format (clang-format-14)
# KT_TEST_STAGES="format normal install asan fuzz" picks the stages of "test" (default: all, in
# order); "format" fails on any source that clang-format-14 would change, and every build of
# "test" turns compiler warnings into errors (KT_WERROR).
# "install" installs build/ into a scratch prefix, builds and runs examples/host against it,
# runs the installed "ktrv8 demo", then makes the package and checks it with lintian.
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

# Our C++ sources; build folders (anything named build*) hold generated code.
format_sources() {
    find interface property link panels cloud rv8 platform lib apps tests bench fuzz examples \
        -name 'build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -type f -print | sort
}

# Other clang-format versions lay out some constructs differently, so the version is pinned.
format_sources_in_place() {
    format_sources | xargs clang-format-14 -i --style=file
}

check_format() {
    local differ=()
    while read -r file; do
        clang-format-14 --style=file "$file" | cmp -s - "$file" || differ+=("$file")
    done < <(format_sources)
    if [[ ${#differ[@]} -gt 0 ]]; then
        printf 'format: differs from .clang-format: %s\n' "${differ[@]}" >&2
        echo "format: ${#differ[@]} file(s) differ; ./build.sh format rewrites them" >&2
        return 1
    fi
    echo "format: all sources follow .clang-format"
}

# Any sanitizer report ends the test that made it. Leaks are checked at exit; the
# suppressions cover only allocations that Qt and the system keep for the process lifetime.
sanitizer_env() {
    export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:fast_unwind_on_malloc=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$here/tests/sanitizers/lsan.supp:print_suppressions=0"
}

# A DESTDIR install of build/ as a host developer would use it: the example host through
# find_package and through pkg-config, run from outside the prefix, and the installed demo.
install_check() {
    local stage=$here/build/install-check
    rm -rf "$stage"
    DESTDIR=$stage cmake --install build --prefix /opt/kt-rv8 >/dev/null
    local prefix=$stage/opt/kt-rv8
    cmake -S examples/host -B build/example-host -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
    cmake --build build/example-host
    # English captions prove the plug-in found its installed translations by itself.
    local shown
    shown=$(LC_ALL=C LANG=C build/example-host/kt-rv8-example-host)
    echo "$shown"
    grep -q '^SPEED  Speed = ' <<<"$shown"
    local pc
    pc=$(dirname "$(find "$prefix" -name kt-rv8.pc)")
    local libdir
    libdir=$(PKG_CONFIG_PATH=$pc pkg-config --variable=libdir kt-rv8)
    # shellcheck disable=SC2046
    g++ -std=c++17 -fPIC -Wall -Wextra -Werror -o "$stage/pkg-config-host" examples/host/main.cpp \
        -DKTRV8_PLUGIN_FILE="\"$libdir/libKT-RV8.so\"" $(PKG_CONFIG_PATH=$pc pkg-config --cflags --libs kt-rv8)
    shown=$(LC_ALL=C LANG=C "$stage/pkg-config-host")
    grep -q '^SPEED  Speed = ' <<<"$shown"
    "$prefix/bin/ktrv8" demo --out-dir "$stage/demo"
    desktop_check "$prefix"
    echo "install: find_package and pkg-config hosts and the installed demo passed"
}

# The menu entry is valid and opens a drawing the way a file manager's "open with" does.
desktop_check() {
    local share=$1/share
    desktop-file-validate "$share/applications/ktrv8-gui.desktop"
    appstreamcli validate --no-net "$share/metainfo/org.example.ktrv8.gui.metainfo.xml" >/dev/null
    local exec
    exec=$(sed -n 's/^Exec=//p' "$share/applications/ktrv8-gui.desktop")
    rm -f "$stage/opened.png"
    QT_QPA_PLATFORM=offscreen "$1/bin/${exec%% *}" "$here/examples/drawing.svg" --screenshot "$stage/opened.png"
    test -s "$stage/opened.png"
}

package() {
    rm -f build/kt-rv8_*.deb
    (cd build && cpack -G DEB >/dev/null)
    local deb
    deb=$(ls build/kt-rv8_*.deb)
    local contents
    contents=$(dpkg-deb --contents "$deb")
    grep -q ' \./lib/udev/rules\.d/60-kt-rv8\.rules$' <<<"$contents"
    grep -q ' \./usr/share/applications/ktrv8-gui\.desktop$' <<<"$contents"
    grep -q ' \./lib/systemd/system/ktrv8-cloud\.service$' <<<"$contents"
    dpkg-deb --field "$deb" Depends | grep -q 'libqt5sql5-sqlite'
    if command -v lintian >/dev/null; then
        lintian --fail-on error "$deb"
    fi
    echo "package: $deb"
}

install_packages
case "$what" in
    build) build build -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
    format) format_sources_in_place ;;
    package)
        build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
        package ;;
    demo)
        build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
        exec build/bin/ktrv8 demo "$@" ;;
    test)
        stages=" ${KT_TEST_STAGES:-format normal install asan fuzz} "
        started=$SECONDS
        if [[ $stages == *" format "* ]]; then
            check_format
        fi
        if [[ $stages == *" normal "* ]]; then
            build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKT_WERROR=ON
            (cd build && ctest --output-on-failure -j"$(nproc)" "$@")
        fi
        if [[ $stages == *" install "* ]]; then
            build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKT_WERROR=ON
            install_check
            package
        fi
        if [[ $stages == *" asan "* ]]; then
            # Benchmarks add build time and prove nothing about memory safety.
            build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKT_SANITIZE=ON -DKT_BUILD_BENCH=OFF -DKT_WERROR=ON
            (cd build-asan && sanitizer_env && ctest --output-on-failure -j"$(nproc)" "$@")
        fi
        echo "test: stages before the fuzzers took $((SECONDS - started)) s"
        if [[ $stages == *" fuzz "* ]]; then
            cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
                -DKT_BUILD_FUZZ=ON -DKT_BUILD_TESTS=OFF -DKT_BUILD_TOOLS=OFF -DKT_BUILD_BENCH=OFF -DKT_WERROR=ON >/dev/null
            cmake --build build-fuzz --target fuzzers -j"$(nproc)"
            fuzz/run.sh build-fuzz
        fi
        ;;
    *) echo "usage: $0 [build|demo|test|package|format]" >&2; exit 2 ;;
esac
