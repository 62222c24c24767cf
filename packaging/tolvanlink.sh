#!/bin/sh
# Starts Tolvan Link from <root>/bin/tolvanlink (or a link to it). The program works in the
# current folder: it writes the serial trace APD.TRC and the log APD.LOG there and shows the
# receive log when debug.txt is there. The desktop starts programs in places the operator may not
# write to, so the working folder is one of the operator's own:
# ${XDG_STATE_HOME:-$HOME/.local/state}/tolvanlink.
set -e
here=$(dirname "$(readlink -f "$0")")
program="$here/../Orsolite/Tolvan Link/TolvanLink"
work="${XDG_STATE_HOME:-${HOME:?HOME is not set}/.local/state}/tolvanlink"
mkdir -p "$work"
cd "$work"
exec "$program" "$@"
