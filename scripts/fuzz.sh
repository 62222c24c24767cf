#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (fuzz/) and runs each on its seed corpus for a number
# of seconds, two at a time. Fails on any crash, leak, undefined behaviour, hang or broken rule;
# the failing input is kept under <build-dir>/fuzz-findings and printed in hexadecimal.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [build-dir, default build-fuzz]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
build="${2:-$here/build-fuzz}"

"$here/scripts/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOLVAN_FUZZ=ON -DTOLVAN_BUILD_TESTS=OFF -DTOLVAN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j 2 --target fuzz_all

targets=()
for dir in "$here"/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
done

findings="$build/fuzz-findings"
rm -rf "$findings"
mkdir -p "$findings"
# The targets write their files under the temporary folder on every run: keep it in memory.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$here/fuzz/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# One target: new inputs go to a scratch corpus, so the seeds in the tree stay as they are.
fuzz_one() {
    local name="$1"
    local work="$findings/$name"
    mkdir -p "$work/corpus"
    local dict=()
    [ -f "$here/fuzz/dictionaries/$name.dict" ] && dict=(-dict="$here/fuzz/dictionaries/$name.dict")
    if (cd "$work" && "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=30 \
            -rss_limit_mb=2048 -detect_leaks=1 -print_final_stats=1 \
            -artifact_prefix="$work/" "${dict[@]}" "$work/corpus" "$here/fuzz/corpus/$name" \
            >"$work/log" 2>&1); then
        echo "fuzz: $name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" |
            grep -o '[0-9]*$') runs, no finding"
    else
        echo "fuzz: $name FAILED"
        grep -E -A40 "^==[0-9]+==ERROR|runtime error|rule broken|uncaught exception|^==[0-9]+== ERROR: libFuzzer" \
            "$work/log" | head -80 || tail -40 "$work/log"
        for input in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
            [ -f "$input" ] || continue
            echo "fuzz: $name: failing input $input:"
            od -A x -t x1 "$input" | head -40
        done
        touch "$findings/FAILED-$name"
    fi
}

start=$SECONDS
running=0
for name in "${targets[@]}"; do
    if [ "$running" -ge 2 ]; then
        wait -n || true
        running=$((running - 1))
    fi
    fuzz_one "$name" &
    running=$((running + 1))
done
wait || true

failed=("$findings"/FAILED-*)
if [ -e "${failed[0]}" ]; then
    echo "fuzz: ${#failed[@]} of ${#targets[@]} targets failed (${seconds}s each, $((SECONDS - start))s in all)"
    exit 1
fi
echo "fuzz: ${#targets[@]} targets, ${seconds}s each, no finding ($((SECONDS - start))s in all)"
