# Shared by the package tests: a scratch folder, an X server of the test's own, the device
# emulator on a pseudo-terminal, and an operator who finds windows by their exact title.
# Source it from bash with `set -euo pipefail`.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The processes started here, stopped by their own ids at exit, the steps a test added to
# cleanup_steps run (last added first), and the scratch folder removed.
started_pids=()
cleanup_steps=()
scratch=""
cleanup() {
    local pid i
    for pid in "${started_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${started_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    for ((i = ${#cleanup_steps[@]} - 1; i >= 0; i--)); do
        eval "${cleanup_steps[$i]}" || true
    done
    if [ -n "$scratch" ] && [ -z "${TOLVAN_PACKAGE_KEEP:-}" ]; then rm -rf "$scratch"; fi
}
trap cleanup EXIT

# The installed package's root R and shared folder, for the tests that change them as root.
installed_root() {
    [ "$(id -u)" -eq 0 ] || fail "run as root"
    R=/opt/tolvan
    common="$R/Orsolite/Comuns"
}

make_scratch() {
    scratch="$(mktemp -d "${TMPDIR:-/tmp}/tolvan-package-XXXXXX")"
    # Readable by a user of the test's choosing (the program may run as another user).
    chmod 755 "$scratch"
}

# Waits up to $1 seconds (tenths allowed) for the command after it to succeed.
wait_until() {
    local tenths
    tenths=$(awk -v s="$1" 'BEGIN { printf "%d", s * 10 }')
    shift
    for _ in $(seq 1 "$tenths"); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    "$@"
}

# Xvfb on a free display; sets DISPLAY.
start_x() {
    command -v Xvfb >/dev/null || fail "Xvfb is not installed"
    local file="$scratch/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$file" >/dev/null 2>&1 &
    started_pids+=($!)
    wait_until 10 grep -qs . "$file" || fail "Xvfb gave no display"
    DISPLAY=":$(head -n 1 "$file")"
    export DISPLAY
}

# The emulator $1 on a pty, its frames logged in $scratch/frames.log; sets pty.
start_emulator() {
    local emulator="$1"
    "$emulator" --link "$scratch/pty" --frame-log "$scratch/frames.log" \
        >"$scratch/emulator.out" 2>&1 &
    started_pids+=($!)
    wait_until 10 grep -qs . "$scratch/pty" || fail "the emulator gave no pty: $(cat "$scratch/emulator.out")"
    pty="$(head -n 1 "$scratch/pty")"
}

window_id() {
    xdotool search --name "^$1\$" 2>/dev/null | head -n 1
}
has_window() {
    [ -n "$(window_id "$1")" ]
}
window_titles() {
    xdotool search --name . getwindowname %@ 2>/dev/null | tr '\n' '|'
}
wait_window() {
    wait_until "${2:-20}" has_window "$1" || fail "no window \"$1\"; windows: $(window_titles)"
}
# Gives the window titled $1 the focus and presses the keys after it (xdotool names).
press() {
    local title="$1" id
    shift
    id="$(window_id "$title")"
    [ -n "$id" ] || fail "no window \"$title\" to press keys at"
    xdotool windowfocus --sync "$id" key --delay 80 "$@"
}

# Whether the child $1 still runs (a child that has ended but is not yet reaped does not).
running() {
    [ -r "/proc/$1/stat" ] || return 1
    local state
    state="$(sed 's/^.*) //' "/proc/$1/stat" | cut -d ' ' -f 1)"
    [ "$state" != Z ]
}
# Waits up to $2 seconds for the child $1 to end; sets status to its exit status.
wait_exit() {
    local pid="$1"
    wait_until "$2" eval "! running $pid" || fail "process $pid did not end; windows: $(window_titles)"
    status=0
    wait "$pid" || status=$?
}
