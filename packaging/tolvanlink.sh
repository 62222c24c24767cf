#!/bin/sh
# Starts Tolvan Link from <root>/bin/tolvanlink (or a link to it). The program works in the
# current folder: it writes the serial trace APD.TRC and the log APD.LOG there and shows the
# receive log when debug.txt is there. The desktop starts programs in places the operator may not
# write to, so the working folder is one of the operator's own:
# ${XDG_STATE_HOME:-$HOME/.local/state}/tolvanlink.
# The manual page is made from the --help text below: keep its layout (see HelpToMan.cpp).
set -e
case "${1:-}" in
-h | --help)
    cat <<'EOF'
Usage: tolvanlink [QT-OPTION...]

Starts Tolvan Link, the download tool for the Tolvan Link handheld. Over a serial line it
writes program images (systems) into the device, reads them back, compares them with their
files and tells the device to run them. The operator works a picture of the device's front
panel with the mouse or the keys: arrows, Enter for Confirm, Escape for Return; F1 opens the
manual, F5 the about box and F6 the port dialog.

The program and its files lie under one installation root <root>, /opt/tolvan in the Debian
package: the root is the folder above the one that holds this launcher. The program runs in a
working folder of the operator's own, ${XDG_STATE_HOME:-~/.local/state}/tolvanlink, where it
writes the serial trace APD.TRC and the log APD.LOG when it ends. Opening a serial device needs
membership of the group dialout.

Options:
  -h, --help     show this text and exit
  --version      show the version and exit
  Any other argument goes to Qt, for example -platform xcb or -display :1.

Environment:
  TOLVAN_ROOT      the installation root to use instead of the one the program lies in
  XDG_STATE_HOME   the folder that holds the working folder (default: ~/.local/state)

Files:
  <root>/Orsolite/Tolvan Link/Tabelas/TolvanLink.db
                   the catalogue of systems (see tolvan-catalogue)
  <root>/Orsolite/Tolvan Link/bin/
                   the systems' image files
  <root>/Orsolite/Comuns/Comm.txt
                   the port number, n of COMn; rewritten on every key press
  <root>/Orsolite/Comuns/SerialComm.txt
                   the port map, COMn=<device> a line; without it the machine's serial
                   devices are numbered in order
  <root>/Orsolite/Comuns/Selecao
                   left by the selector launcher: the program runs by itself and programs
                   the system named on its third line
  debug.txt        in the working folder: the received bytes are shown over the display
EOF
    exit 0
    ;;
--version)
    echo "tolvanlink @PROJECT_VERSION@"
    exit 0
    ;;
esac
here=$(dirname "$(readlink -f "$0")")
program="$here/../Orsolite/Tolvan Link/TolvanLink"
work="${XDG_STATE_HOME:-${HOME:?HOME is not set}/.local/state}/tolvanlink"
mkdir -p "$work"
cd "$work"
exec "$program" "$@"
