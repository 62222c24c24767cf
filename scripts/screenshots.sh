#!/usr/bin/env bash
# Takes the README's pictures on a virtual X server: the main menu, the system list, the
# operation menu, a programming run in progress, the about box and the selector-mode window.
# Usage: scripts/screenshots.sh [build-dir] [output-dir]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$here/build}")"
out="$(realpath -m "${2:-$here/docs/screenshots}")"
cmake --build "$build" --target TolvanLink tolvan-emulator tolvan-install tolvan-screenshot >/dev/null
mkdir -p "$out"
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

# One installation and one device per run; the second argument adds selector mode.
run() {
    local name="$1" extra="${2:-}"
    local root="$work/$name"
    "$build/tools/emulator/tolvan-emulator" --link "$work/$name.pty" >/dev/null 2>&1 &
    for _ in $(seq 1 100); do [ -s "$work/$name.pty" ] && break; sleep 0.1; done
    # shellcheck disable=SC2086
    "$build/tools/install/tolvan-install" --root "$root" --program "$build/src/gui/TolvanLink" \
        --port "COM2=$(head -n 1 "$work/$name.pty")" $extra >/dev/null
    mkdir -p "$work/$name.cwd"
    xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$root" "$build" "$out" "$name" \
        "$work/$name.cwd" <<'OPERATOR'
root="$1"; build="$2"; out="$3"; name="$4"; cwd="$5"
window() {  # window TITLE: the id of the window titled exactly TITLE, once it is there
    for _ in $(seq 1 100); do
        id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)" && [ -n "$id" ] && {
            echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
shot() { sleep 0.5; "$build/tools/install/tolvan-screenshot" "$out/$1" "$(window "$2")"; }
press() { local id; id="$(window "$1")"; shift; xdotool windowfocus --sync "$id" key --delay 150 "$@"; }
cd "$cwd"
"$root/Orsolite/Tolvan Link/TolvanLink" &
app=$!
if [ "$name" = normal ]; then
    shot main-menu.png frmTolvanLink
    press frmTolvanLink Return && press "Informação" Return && sleep 1.5
    press frmTolvanLink Down Down
    shot system-list.png frmTolvanLink
    press frmTolvanLink Return
    shot operation-menu.png frmTolvanLink
    press frmTolvanLink Down Return && sleep 6
    shot programming.png frmTolvanLink
    press frmTolvanLink F5
    shot about.png Vessaro
    kill "$app"
else
    press "Informação" Return && sleep 8
    shot selector-mode.png frmTolvanLink
    kill "$app"
fi
wait "$app" 2>/dev/null || true
OPERATOR
}

run normal
run selector "--selector Cadenza --background"

echo "screenshots in $out"
