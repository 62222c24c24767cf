#!/usr/bin/env bash
# The unit, catalogue, desktop and COM port tests of the Windows build (scripts/windows/build.sh)
# under Wine: a fresh 64-bit prefix inside the build folder, the MinGW runtime and Qt beside the
# programs, each test program run once (Wine's start-up is costly) with its XML report in
# <build-dir>/wine-results/. The COM
# port tests talk to the Linux device emulator (from the Linux build, or $TOLVAN_EMULATOR) on
# pseudo-terminals mapped in Wine's registry as COM5, COM12 and COM6 (one that hangs up at the
# run frame); without the emulator they are skipped.
# Usage: tests/windows/run.sh [build-dir]   (default build-win)
set -euo pipefail
# Wine makes a window only on a display: a private Xvfb when there is none (nothing is shown).
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a "$0" "$@"; fi
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(realpath "${1:-build-win}")"
results="$build/wine-results"
emulator="${TOLVAN_EMULATOR:-$repo/build/tools/emulator/tolvan-emulator}"
export WINEPREFIX="$build/wine-prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX" "$results"
mkdir -p "$results"
emulators=()
cleanup() {
    wineserver -k 2>/dev/null || true
    ((${#emulators[@]} == 0)) || kill "${emulators[@]}" 2>/dev/null || true
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1

# An emulator on a pseudo-terminal of its own, mapped as COM port $1 (further arguments go to
# the emulator); its first output line is the terminal's path.
map_port() {
    local com=$1 pts fd
    shift
    exec {fd}< <(exec "$emulator" --no-pacing --frame-log "$results/$com.frames" "$@")
    emulators+=("$!")
    read -r -t 10 -u "$fd" pts
    wine reg add 'HKLM\Software\Wine\Ports' /v "$com" /d "$pts" /f >/dev/null 2>&1
    # Wine remakes these links from the registry when it starts; made now, they are right at once.
    ln -sfn "$pts" "$WINEPREFIX/dosdevices/${com,,}"
}
# The end-to-end scenarios' ports: COM2 and COM3 lead to links that the harness points at each
# scenario's emulator.
e2e_ports="$results/ports"
mkdir -p "$e2e_ports"
for com in COM2 COM3; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "$com" /d "$e2e_ports/${com,,}" /f >/dev/null 2>&1
done
if [ -x "$emulator" ]; then
    map_port COM5
    map_port COM12
    map_port COM6 --hangup-after Executa
    export TOLVAN_TEST_COM=COM5 TOLVAN_TEST_HIGH_COM=COM12 TOLVAN_TEST_HANGUP_COM=COM6
    wineserver -k && wineserver -w  # the ports are read when Wine starts
    # Wine's server takes a mapped terminal for its own, and when the emulator hangs up it lists
    # its objects on standard error: into a log of their own.
    wineserver -p 2>"$results/wineserver.log"
else
    echo "run.sh: no emulator at $emulator (build the Linux side): the COM port tests skip" >&2
fi

qt_bin="$build/qt6.4.2-mingw-w64/bin"
for tests in "$build"/tests/{unit,platform,catalogue,windows}; do
    [ -d "$tests" ] || continue
    for dll in /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libstdc++-6.dll \
               /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libgcc_s_seh-1.dll \
               /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll; do
        cp -u "$dll" "$tests/"
    done
    if ls "$tests"/*.exe >/dev/null 2>&1 && [ -f "$qt_bin/Qt6Core.dll" ]; then
        cp -u "$qt_bin/Qt6Core.dll" "$tests/"
    fi
done

passed=0 failed=0 skipped=0 broken=()
for exe in "$build"/tests/{unit,platform,catalogue,windows}/*_test.exe; do
    [ -f "$exe" ] || continue
    tests="$(dirname "$exe")"
    name="$(basename "$exe" .exe)"
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

# End-to-end scenarios of the Linux build's harness (tests/e2e) with this build's programs under
# Wine (testsupport/harness: TOLVAN_WINE_BUILD), each test program once with its chosen tests.
linux="${TOLVAN_LINUX_BUILD:-$repo/build}"
qt="$build/qt6.4.2-mingw-w64"
export TOLVAN_WINE_BUILD="$build" TOLVAN_WINE_PORTS="$e2e_ports"
# The programs find Qt and the MinGW runtime on Wine's search path; Qt finds its plugins itself.
WINEPATH="$(winepath -w "$qt/bin");$(winepath -w /usr/lib/gcc/x86_64-w64-mingw32/12-posix)"
export WINEPATH="$WINEPATH;$(winepath -w /usr/x86_64-w64-mingw32/lib)"
# The registry's port list as the scenarios expect it.
export TOLVAN_WINE_REGISTRY_PORTS="$(wine reg query 'HKLM\Hardware\DeviceMap\SerialComm' 2>/dev/null |
    sed -nE 's/.*REG_SZ[[:space:]]+(COM[0-9]+).*/\1/p' | tr -d '\r' | paste -sd,)"
declare -A e2e=(
    [flash_test]="FlashTest.ProgramVerifyEventsTellTheWholeRun"
)
for name in "${!e2e[@]}"; do
    program="$linux/tests/e2e/$name"
    if [ ! -x "$program" ] || [ ! -f "$build/src/cli/tolvan-flash.exe" ]; then
        echo "run.sh: $name skipped: no $program (the Linux build) or no Windows programs" >&2
        continue
    fi
    xml="$results/e2e-$name.xml"
    status=0
    started=$SECONDS
    "$program" --gtest_filter="${e2e[$name]}" --gtest_output="xml:$xml" \
        >"$results/e2e-$name.log" 2>&1 || status=$?
    echo "$name under Wine: $((SECONDS - started)) s" >&2
    [ -f "$xml" ] || { echo "$name: no report (exit status $status)" >&2; broken+=("$name"); continue; }
    counts="$(grep -m1 -o '<testsuites [^>]*>' "$xml")"
    total="$(sed -E 's/.* tests="([0-9]+)".*/\1/' <<<"$counts")"
    fail="$(sed -E 's/.* failures="([0-9]+)".*/\1/' <<<"$counts")"
    skip="$(grep -c 'result="skipped"' "$xml" || true)"
    failed=$((failed + fail))
    skipped=$((skipped + skip))
    passed=$((passed + total - fail - skip))
    if ((status != 0 || fail > 0)); then
        echo "$name: $fail failed under Wine; see $results/e2e-$name.log" >&2
        grep -E '^\[  FAILED  \]' "$results/e2e-$name.log" | sort -u >&2 || true
        broken+=("$name")
    fi
done

echo "$passed passed, $failed failed, $skipped skipped"
if ((${#broken[@]} > 0)); then
    echo "failing programs: ${broken[*]}" >&2
    exit 1
fi
