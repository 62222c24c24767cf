#!/usr/bin/env bash
# The serial device belongs to the group dialout, as udev leaves /dev/ttyUSB*: root:dialout 0660.
# An operator in that group opens it and the installed program goes on to its no-system
# message; the same operator outside the group is refused (EACCES), and the program must treat
# that as any port that cannot be opened: "Porta de Comunicação Inválida! " (an error), then
# "Deseja selecionar outra porta? " (a question); No ends the program cleanly. The device is the
# emulator's pty. Run as root, the operator is nobody (root opens any device); run as another
# user, the operator is that user, let in by mode 0600 and refused by mode 0000.
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

as_root=false
if [ "$(id -u)" -eq 0 ]; then
    as_root=true
    command -v setpriv >/dev/null || fail "setpriv is not installed"
    getent group dialout >/dev/null || fail "no group dialout"
    # As the package's postinst leaves them.
    chgrp dialout "$common" "$common/Comm.txt"
    chmod 3775 "$common"
    chmod 0664 "$common/Comm.txt"
    chgrp dialout "$pty"
    chmod 0660 "$pty"
fi

# run_operator NAME IN-DIALOUT: starts the installed launcher as the operator; sets program
# and work (the launcher's working folder).
run_operator() {
    local home="$scratch/home-$1" as=()
    mkdir -p "$home"
    if $as_root; then
        chown nobody "$home"
        if [ "$2" = yes ]; then
            as=(setpriv --reuid=nobody --regid=nogroup --groups=dialout --)
        else
            as=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
        fi
        # The test itself: the device must let in or refuse exactly as meant.
        if "${as[@]}" sh -c ": <>'$pty'" 2>/dev/null; then opens=yes; else opens=no; fi
    else
        if [ "$2" = yes ]; then chmod 0600 "$pty"; else chmod 0000 "$pty"; fi
        if (: <>"$pty") 2>/dev/null; then opens=yes; else opens=no; fi
    fi
    [ "$opens" = "$2" ] || fail "$1: the device opens: $opens"
    HOME="$home" XDG_STATE_HOME="" QT_QPA_PLATFORM=xcb TOLVAN_ROOT="" \
        "${as[@]}" "$R/bin/tolvanlink" >"$scratch/program-$1.out" 2>&1 &
    program=$!
    started_pids+=("$program")
    work="$home/.local/state/tolvanlink"
    out="$scratch/program-$1.out"
}

# In the group: the port opens and the program says that no system is installed.
run_operator member yes
wait_window "Informação" 30
if has_window "Erro"; then fail "member: the port did not open"; fi
press "Informação" Return
wait_exit "$program" 15
[ "$status" -eq 0 ] || fail "member: the program ended with $status: $(cat "$out")"
[ -f "$work/APD.LOG" ] || fail "member: no serial log in $work"

# Outside the group: the error, then the question; Tab moves to "Não", Return takes it.
run_operator outsider no
wait_window "Erro" 30
if has_window "Confirmação"; then fail "outsider: the question came before the error was answered"; fi
press "Erro" Return
wait_window "Confirmação" 10
press "Confirmação" Tab Return
wait_exit "$program" 15
[ "$status" -eq 0 ] || fail "outsider: the program ended with $status: $(cat "$out")"
# A port that never opened leaves no serial trace, and the port number stays.
[ -d "$work" ] || fail "outsider: the launcher made no working folder"
if [ -e "$work/APD.TRC" ] || [ -e "$work/APD.LOG" ]; then fail "outsider: the refused device was traced"; fi
[ "$(cat "$common/Comm.txt")" = $'2\r' ] || fail "Comm.txt changed: $(od -c "$common/Comm.txt")"
if grep -q -e 'File not found' -e 'Permission denied' "$scratch"/program-*.out; then
    fail "the program reported: $(cat "$scratch"/program-*.out)"
fi
echo "port permission: ok (a member of dialout opens the device; for another operator the program shows its own messages)"
