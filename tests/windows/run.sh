#!/usr/bin/env bash
# The unit, catalogue and desktop tests of the Windows build (scripts/windows/build.sh) under
# Wine: a fresh 64-bit prefix inside the build folder, the MinGW runtime beside the programs, each
# test program run once (Wine's start-up is costly) with its XML report in
# <build-dir>/wine-results/.
# Usage: tests/windows/run.sh [build-dir]   (default build-win)
set -euo pipefail
# Wine makes a window only on a display: a private Xvfb when there is none (nothing is shown).
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a "$0" "$@"; fi
build="$(realpath "${1:-build-win}")"
results="$build/wine-results"
export WINEPREFIX="$build/wine-prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX" "$results"
mkdir -p "$results"
wineboot -i >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT

folders=("$build/tests/unit" "$build/tests/catalogue" "$build/tests/windows")
for tests in "${folders[@]}"; do
    for dll in /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libstdc++-6.dll \
               /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libgcc_s_seh-1.dll \
               /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll; do
        cp -u "$dll" "$tests/"
    done
done

passed=0 failed=0 skipped=0 broken=()
shopt -s nullglob
for exe in "$build"/tests/{unit,catalogue,windows}/*_test.exe; do
    name="$(basename "$exe" .exe)"
    tests="$(dirname "$exe")"
    xml="$results/$name.xml"
    status=0
    (cd "$tests" && wine "$exe" --gtest_output="xml:$(winepath -w "$xml")" >"$results/$name.log" 2>&1) ||
        status=$?
    if [ ! -f "$xml" ]; then
        echo "$name: no report (exit status $status); see $results/$name.log" >&2
        broken+=("$name")
        continue
    fi
    # <testsuites tests="N" failures="F" disabled="D" errors="E" ...>, skipped per test case.
    counts="$(head -c 4096 "$xml" | grep -m1 -o '<testsuites [^>]*>')"
    total="$(sed -E 's/.* tests="([0-9]+)".*/\1/' <<<"$counts")"
    fail="$(sed -E 's/.* failures="([0-9]+)".*/\1/' <<<"$counts")"
    errs="$(sed -E 's/.* errors="([0-9]+)".*/\1/' <<<"$counts")"
    skip="$(grep -c 'result="skipped"' "$xml" || true)"
    failed=$((failed + fail + errs))
    skipped=$((skipped + skip))
    passed=$((passed + total - fail - errs - skip))
    if ((status != 0 || fail + errs > 0)); then
        echo "$name: $((fail + errs)) failed (exit status $status); see $results/$name.log" >&2
        grep -E '^\[  FAILED  \]' "$results/$name.log" | sort -u >&2 || true
        broken+=("$name")
    fi
done

echo "$passed passed, $failed failed, $skipped skipped"
if ((${#broken[@]} > 0)); then
    echo "failing programs: ${broken[*]}" >&2
    exit 1
fi
