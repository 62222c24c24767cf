#!/usr/bin/env bash
# The demo: builds the program, lays out an installation with ten systems under
# <build>/demo, starts the device emulator on a pseudo-terminal mapped to COM2 and runs the
# program on the desktop. Without a desktop ($DISPLAY unset) it runs on a virtual X server,
# walks to the system list by itself and saves screenshots.
# Usage: scripts/demo.sh [build-dir]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$here/build}")"

"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)" \
      --target TolvanLink tolvan-emulator tolvan-install tolvan-screenshot

demo="$build/demo"
root="$demo/root"
rm -rf "$demo"
mkdir -p "$demo/cwd"
"$build/tools/install/tolvan-install" --root "$root" --program "$build/src/gui/TolvanLink"

# The device: the emulator keeps what is written into it in device.txt between runs.
"$build/tools/emulator/tolvan-emulator" --link "$demo/pty" --store "$demo/device.txt" \
    --frame-log "$demo/frames.log" >"$demo/emulator.out" 2>&1 &
emulator=$!
stop_emulator() {
    kill "$emulator" 2>/dev/null || true
    wait "$emulator" 2>/dev/null || true
}
trap stop_emulator EXIT
for _ in $(seq 1 100); do
    [ -s "$demo/pty" ] && break
    sleep 0.1
done
pty="$(head -n 1 "$demo/pty" 2>/dev/null || true)"
if [ -z "$pty" ]; then
    echo "demo: the emulator did not start (see $demo/emulator.out)" >&2
    exit 1
fi
printf 'COM2=%s\n' "$pty" >"$root/Orsolite/Comuns/SerialComm.txt"
echo "demo: installation in $root, device on $pty (COM2), frame log in $demo/frames.log"

program="$root/Orsolite/Tolvan Link/TolvanLink"
cd "$demo/cwd"
if [ -n "${DISPLAY:-}" ]; then
    "$program"
    exit 0
fi

echo "demo: no DISPLAY: running on a virtual X server (xvfb-run); screenshots go to $demo"
# The operator: the main menu, Conexão, the system list, then Escape and Yes to leave.
xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$program" "$build" "$demo" <<'OPERATOR'
program="$1"; build="$2"; demo="$3"
shot() { "$build/tools/install/tolvan-screenshot" "$demo/$1" 2>/dev/null && echo "demo: $demo/$1"; }
press() {  # press TITLE KEY...
    local title="$1"; shift
    local id=""
    for _ in $(seq 1 100); do
        id="$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1)" && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "demo: no window \"$title\"" >&2; return 1; }
    xdotool windowfocus --sync "$id" key --delay 100 "$@"
}
"$program" &
app=$!
sleep 2
shot 1-main-menu.png
press frmTolvanLink Return && press "Informação" Return && sleep 2 && shot 2-system-list.png
press frmTolvanLink Escape Escape && press "Confirmação" Return || true
for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
OPERATOR
