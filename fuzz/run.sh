#!/usr/bin/env bash
# Runs every fuzzer built in BUILD_DIR (default build-fuzz) for KT_FUZZ_SECONDS each
# (default 60), starting from the seeds in fuzz/corpus/<name>/. New inputs go to a scratch
# corpus inside the build folder; the committed seeds are never changed.
# Fails on any crash, leak, timeout, out-of-memory or failed check; the input that caused it
# is left in BUILD_DIR/fuzz-artifacts/.
# Optional: KT_FUZZ_ONLY="rv8_replies cmd_item" runs only those targets.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-fuzz}
build=$(cd "$build" && pwd)
seconds=${KT_FUZZ_SECONDS:-60}
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/../tests/sanitizers/lsan.supp:print_suppressions=0}
export QT_QPA_PLATFORM=offscreen

targets=()
for bin in "$build"/fuzz/fuzz_*; do
    [[ -x "$bin" && -f "$bin" ]] || continue
    name=$(basename "$bin"); name=${name#fuzz_}
    if [[ -n "${KT_FUZZ_ONLY:-}" && " $KT_FUZZ_ONLY " != *" $name "* ]]; then continue; fi
    targets+=("$name")
done
[[ ${#targets[@]} -gt 0 ]] || { echo "fuzz: no fuzzers in $build/fuzz" >&2; exit 1; }

failed=0
summary=()
for name in "${targets[@]}"; do
    scratch=$build/fuzz-corpus/$name
    mkdir -p "$scratch"
    log=$build/fuzz-$name.log
    echo "fuzz: $name for ${seconds}s"
    # -timeout: one input may take 10 s at most (a hang); -rss_limit_mb: memory stays bounded.
    if "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/$name-" \
        "$scratch" "$here/corpus/$name" >"$log" 2>&1; then
        runs=$(grep -Eo 'Done [0-9]+ runs' "$log" | grep -Eo '[0-9]+' | tail -1)
        cov=$(grep -Eo 'cov: [0-9]+' "$log" | tail -1 | grep -Eo '[0-9]+' || true)
        summary+=("$name: ${runs:-?} executions in ${seconds}s, coverage ${cov:-?} edges")
    else
        failed=1
        summary+=("$name: FAILED (log: $log)")
        tail -n 60 "$log" >&2
    fi
done
printf 'fuzz: %s\n' "${summary[@]}"
passed=$(( ${#targets[@]} - $(printf '%s\n' "${summary[@]}" | grep -c FAILED || true) ))
echo "fuzz: $passed passed, $(( ${#targets[@]} - passed )) failed"
exit $failed
