#!/usr/bin/env bash
# An operator outside the group dialout: the serial device refuses him (EACCES), and the installed
# program must treat that as any port that cannot be opened: "Porta de Comunicação Inválida! "
# (an error), then "Deseja selecionar outra porta? " (a question); No ends the program cleanly.
# The device is the emulator's pty with every permission bit taken away. Run as root, the program
# runs as nobody (root opens any device); run as another user, the owner himself is refused.
# The installation is as the package leaves it: Comuns and Comm.txt belong to root, so this
# operator cannot rewrite the port file either.
# Usage: check-port-permission.sh CMAKE BUILD-DIR
set -euo pipefail
cmake="$1"
build="$2"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
make_scratch

dest="$scratch/dest"
DESTDIR="$dest" "$cmake" --install "$build" --prefix /opt/tolvan >"$scratch/install.log" 2>&1 ||
    fail "cmake --install: $(cat "$scratch/install.log")"
R="$dest/opt/tolvan"
common="$R/Orsolite/Comuns"

start_x
start_emulator "$R/bin/tolvan-emulator"
printf 'COM2=%s\n' "$pty" >"$common/SerialComm.txt"
printf '2\r\n' >"$common/Comm.txt"
chmod 0644 "$common/Comm.txt"
chmod 0755 "$common"
chmod 000 "$pty"

home="$scratch/home"
mkdir -p "$home"
as_operator=()
if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null || fail "setpriv is not installed"
    chown nobody "$home"
    as_operator=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
    # The test itself: the device must refuse nobody, or the test proves nothing.
    if "${as_operator[@]}" sh -c ": <>'$pty'" 2>/dev/null; then fail "nobody can open $pty"; fi
else
    if (: <>"$pty") 2>/dev/null; then fail "$pty opens despite mode 000"; fi
fi

HOME="$home" XDG_STATE_HOME="" QT_QPA_PLATFORM=xcb TOLVAN_ROOT="" \
    "${as_operator[@]}" "$R/bin/tolvanlink" >"$scratch/program.out" 2>&1 &
program=$!
started_pids+=("$program")

# The error, then the question; Tab moves to "Não", Return takes it.
wait_window "Erro" 30
if has_window "Confirmação"; then fail "the question came before the error was answered"; fi
press "Erro" Return
wait_window "Confirmação" 10
press "Confirmação" Tab Return
wait_exit "$program" 15
[ "$status" -eq 0 ] || fail "the program ended with $status: $(cat "$scratch/program.out")"

# A port that never opened leaves no serial trace.
work="$home/.local/state/tolvanlink"
[ -d "$work" ] || fail "the launcher made no working folder"
if [ -e "$work/APD.TRC" ] || [ -e "$work/APD.LOG" ]; then fail "the refused device was traced"; fi
[ "$(cat "$common/Comm.txt")" = $'2\r' ] || fail "Comm.txt changed: $(od -c "$common/Comm.txt")"
if grep -q -e 'File not found' -e 'Permission denied' "$scratch/program.out"; then
    fail "the program reported: $(cat "$scratch/program.out")"
fi
echo "port permission: ok (the refused device gave the program's own messages)"
