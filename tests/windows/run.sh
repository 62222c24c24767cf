#!/usr/bin/env bash
# The unit, catalogue, desktop and COM port tests of the Windows build (scripts/windows/build.sh)
# under Wine: a fresh 64-bit prefix inside the build folder, the MinGW runtime and Qt beside the
# programs, each test program run once (Wine's start-up is costly) with its XML report in
# <build-dir>/wine-results/. The COM
# port tests talk to the Linux device emulator (from the Linux build, or $TOLVAN_EMULATOR) on
# pseudo-terminals mapped in Wine's registry as COM5, COM12 and COM6 (one that hangs up at the
# run frame), and behind ser2net on 127.0.0.1 for the network serial port; without the emulator
# they are skipped. Then a chosen set of the end-to-end scenarios of the Linux build
# ($TOLVAN_LINUX_BUILD, default build) with this build's tolvan-flash.exe and TolvanLink.exe
# instead of the Linux programs (about 2 minutes), and the installer's test (check-installer.sh).
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
source "$repo/scripts/windows/wine-ports.sh"
cleanup() {
    wineserver -k 2>/dev/null || true
    ((${#wine_emulators[@]} == 0)) || kill "${wine_emulators[@]}" 2>/dev/null || true
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1

# An emulator mapped as COM port $1, its frames logged (further arguments go to the emulator).
map_port() {
    local com=$1
    shift
    wine_map_emulator "$com" "$emulator" --no-pacing --frame-log "$results/$com.frames" "$@"
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
    # ser2net (RFC 2217) in front of one more emulator, for the network serial port on Winsock.
    if [ -x /usr/sbin/ser2net ]; then
        exec {fd}< <(exec "$emulator" --no-pacing --frame-log "$results/ser2net.frames")
        wine_emulators+=("$!")
        read -r -t 10 -u "$fd" pts
        net_port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
        printf '%%YAML 1.1\n---\nconnection: &device\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%s\n  connector: serialdev,%s,19200n81,local\n  options:\n    dev-to-net-bufsize: 1024\n' \
            "$net_port" "$pts" >"$results/ser2net.yaml"
        /usr/sbin/ser2net -n -d -c "$results/ser2net.yaml" -P "$results/ser2net.pid" \
            >"$results/ser2net.log" 2>&1 &
        wine_emulators+=("$!")
        export TOLVAN_TEST_RFC2217="rfc2217://127.0.0.1:$net_port"
    fi
else
    echo "run.sh: no emulator at $emulator (build the Linux side): the COM port tests skip" >&2
fi
wineserver -k && wineserver -w  # the ports are read when Wine starts
# Wine's server takes a mapped terminal for its own, and when the emulator hangs up it lists its
# objects on standard error: into a log of their own.
wineserver -p 2>"$results/wineserver.log"

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
# Adds up a test program's report: tally <name> <exit status> <log>.
tally() {
    local name=$1 status=$2 log=$3 xml="$results/$1.xml" counts total fail errs skip
    if [ ! -f "$xml" ]; then
        echo "$name: no report (exit status $status); see $log" >&2
        broken+=("$name")
        return
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
        echo "$name: $((fail + errs)) failed (exit status $status); see $log" >&2
        grep -E '^\[  FAILED  \]' "$log" | sort -u >&2 || true
        broken+=("$name")
    fi
}

for exe in "$build"/tests/{unit,platform,catalogue,windows}/*_test.exe; do
    [ -f "$exe" ] || continue
    tests="$(dirname "$exe")"
    name="$(basename "$exe" .exe)"
    status=0
    (cd "$tests" && wine "$exe" --gtest_output="xml:$(winepath -w "$results/$name.xml")" \
        >"$results/$name.log" 2>&1) || status=$?
    tally "$name" "$status" "$results/$name.log"
done

# End-to-end scenarios of the Linux build (tests/e2e, its harness and the emulator) run with this
# build's programs under Wine (TOLVAN_WINE_BUILD, see testsupport/harness/Harness.h): each test
# program once with the scenarios chosen for Windows; each program's time goes to standard error.
linux="${TOLVAN_LINUX_BUILD:-$repo/build}"
export TOLVAN_WINE_BUILD="$build" TOLVAN_WINE_PORTS="$e2e_ports"
# The programs find Qt and the MinGW runtime on Wine's search path; Qt finds its plugins itself.
WINEPATH="$(winepath -w "$qt_bin");$(winepath -w /usr/lib/gcc/x86_64-w64-mingw32/12-posix)"
export WINEPATH="$WINEPATH;$(winepath -w /usr/x86_64-w64-mingw32/lib)"
# The registry's port list, which the window's port dialog must show.
TOLVAN_WINE_REGISTRY_PORTS="$(wine reg query 'HKLM\Hardware\DeviceMap\SerialComm' |
    sed -nE 's/.*REG_SZ[[:space:]]+(COM[0-9]+).*/\1/p' | paste -sd,)"
export TOLVAN_WINE_REGISTRY_PORTS
ending=Endings/FlashEndingTest.EndsWithItsEventAndStatus
e2e_programs=(flash_test fault_matrix_test whole_run_test)
declare -A e2e_exe=([flash_test]=src/cli/tolvan-flash.exe [fault_matrix_test]=src/gui/TolvanLink.exe
                    [whole_run_test]=src/gui/TolvanLink.exe)
declare -A e2e_tests=(
    [flash_test]="FlashTest.ProgramVerifyEventsTellTheWholeRun:$ending/ProgramOnly:\
$ending/VerifyWhatTheDeviceHolds:$ending/Mismatch:$ending/SilentInTheRun:$ending/HangUpInTheRun:\
$ending/PortHeldByAnotherProgram:$ending/PortNotInTheMap:$ending/UnknownSystem:$ending/MissingImage"
    [fault_matrix_test]="FaultMatrix.PortTakenByAnotherProgram"
    [whole_run_test]="WholeRunTest.SelectorModeWritesAllThreeImagesAndTheDeviceHoldsTheirBytes:\
WholeRunTest.TheMarkerFileLeavesTheLauncherWindowOpen"
)
# TOLVAN_WINE_E2E names some of the test programs alone, TOLVAN_WINE_E2E_REPEAT repeats them.
read -r -a e2e_programs <<<"${TOLVAN_WINE_E2E:-${e2e_programs[*]}}"
for program in "${e2e_programs[@]}"; do
    if [ ! -x "$linux/tests/e2e/$program" ] || [ ! -f "$build/${e2e_exe[$program]}" ]; then
        echo "run.sh: $program under Wine skipped: no $linux/tests/e2e/$program or" \
             "$build/${e2e_exe[$program]}" >&2
        continue
    fi
    name="wine-$program"
    status=0
    started=$SECONDS
    "$linux/tests/e2e/$program" --gtest_filter="${e2e_tests[$program]}" \
        --gtest_repeat="${TOLVAN_WINE_E2E_REPEAT:-1}" \
        --gtest_output="xml:$results/$name.xml" >"$results/$name.log" 2>&1 || status=$?
    echo "$name: $((SECONDS - started)) s" >&2
    tally "$name" "$status" "$results/$name.log"
done

# The release's installer, in a prefix of its own, once scripts/windows/build.sh has made it.
if compgen -G "$build/TolvanLink-*-setup.exe" >/dev/null; then
    if "$repo/tests/windows/check-installer.sh" "$build"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        broken+=(check-installer.sh)
    fi
else
    echo "run.sh: no installer in $build (scripts/windows/build.sh makes it): its test skips" >&2
    skipped=$((skipped + 1))
fi

echo "$passed passed, $failed failed, $skipped skipped"
if ((${#broken[@]} > 0)); then
    echo "failing programs: ${broken[*]}" >&2
    exit 1
fi
