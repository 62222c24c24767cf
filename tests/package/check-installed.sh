#!/usr/bin/env bash
# After `apt-get install ./tolvanlink_<version>_<arch>.deb`: what the package's scripts set up,
# and the installed program started once from the command line on an X server of its own. It
# must find /opt/tolvan from its own place and reach its first question: the port error when
# this machine has no COM2 (answered No), or the no-system message when COM2 opens (the package
# ships an empty catalogue). Either way it must then end by itself with status 0.
# Usage: check-installed.sh (run as root on a machine where the package is installed)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
make_scratch

R=/opt/tolvan
common="$R/Orsolite/Comuns"
catalogue="$R/Orsolite/Tolvan Link/Tabelas/TolvanLink.db"
dpkg-query -W -f='${Status}' tolvanlink | grep -q "install ok installed" || fail "tolvanlink is not installed"
[ "$(readlink -f "$(command -v tolvanlink)")" = "$R/bin/tolvanlink" ] || fail "tolvanlink is not on the PATH"
# The shared folder: the operators' group writes it, sticky, its new files in that group.
[ "$(stat -c '%a %U:%G' "$common")" = "3775 root:dialout" ] || fail "Comuns: $(stat -c '%a %U:%G' "$common")"
[ "$(stat -c '%a %U:%G' "$common/Comm.txt")" = "664 root:dialout" ] || fail "Comm.txt: $(stat -c '%a %U:%G' "$common/Comm.txt")"
grep -qE $'^[0-9]+\r$' "$common/Comm.txt" || fail "Comm.txt holds no port number"
[ -f "$catalogue" ] || fail "no catalogue"
[ "$(tolvan-catalogue list "$catalogue" | wc -l)" -le 1 ] || fail "the new catalogue has rows"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate /usr/share/applications/tolvanlink.desktop || fail "desktop entry"
fi
# man finds and shows the page of each command in the root's bin.
for command in $(ls "$R/bin"); do
    [ "$(man -w "$command")" = "/usr/share/man/man1/$command.1.gz" ] || fail "man does not find $command"
    grep -q -- "--help" <<<"$(MANWIDTH=80 man "$command" 2>/dev/null)" || fail "man $command shows no options"
done

start_x
home="$scratch/home"
mkdir -p "$home"
(cd / && HOME="$home" XDG_STATE_HOME="" QT_QPA_PLATFORM=xcb TOLVAN_ROOT="" \
    exec tolvanlink >"$scratch/program.out" 2>&1) &
program=$!
started_pids+=("$program")

wait_until 30 eval 'has_window Erro || has_window Informação' ||
    fail "the program showed none of its start-up messages; windows: $(window_titles); $(cat "$scratch/program.out")"
if has_window Erro; then
    seen="the port error"
    press Erro Return
    wait_window "Confirmação" 10
    press "Confirmação" Tab Return
else
    seen="the no-system message"
    press "Informação" Return
fi
wait_exit "$program" 15
[ "$status" -eq 0 ] || fail "the program ended with $status: $(cat "$scratch/program.out")"
if grep -q -e 'File not found' -e 'Cannot write' "$scratch/program.out"; then
    fail "the program reported: $(cat "$scratch/program.out")"
fi
[ -d "$home/.local/state/tolvanlink" ] || fail "the launcher made no working folder"
echo "installed package: ok (the program started from $R and showed $seen)"
