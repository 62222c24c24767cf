#!/usr/bin/env bash
# The labgrid driver against the emulator, through labgrid's pytest plugin with a local
# environment written here (no coordinator): ports of this machine, and ports that ser2net
# serves on 127.0.0.1 as a bench computer would. Usage: integrations/labgrid/check.sh <build-dir>
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(realpath "${1:?usage: check.sh <build-dir>}")"
for program in src/cli/tolvan-flash tools/emulator/tolvan-emulator tools/install/tolvan-install; do
    [ -x "$build/$program" ] || { echo "check.sh: $build/$program is not built" >&2; exit 1; }
done
work="$(mktemp -d -t tolvan-labgrid-XXXXXX)"
trap 'rm -rf "$work"' EXIT

# A free port of 127.0.0.1 for a ser2net of the tests' own.
free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# One target per device; the tests start an emulator behind each port link, and ser2net in
# front of the emulator for a network port.
target() {  # target NAME [PROTOCOL]: a local port, or a network port of that protocol
    echo "  $1:"
    echo "    resources:"
    if [ $# -gt 1 ]; then
        echo "      NetworkSerialPort:"
        echo "        host: 127.0.0.1"
        echo "        port: $(free_port)"
        echo "        protocol: $2"
    else
        echo "      RawSerialPort:"
        echo "        port: \"$work/$1-port\""
    fi
    cat <<TARGET
    drivers:
      TolvanFlashDriver:
        system: "Horizonte"
        root: "$work/root"
        connect_timeout: 3
        timeout: 120
TARGET
}
{
    echo "imports:"
    echo "  - \"$here/tolvanflash.py\""
    echo "tools:"
    echo "  tolvan-flash: \"$build/src/cli/tolvan-flash\""
    echo "targets:"
    target main
    target mismatch
    target absent
    target slow
    target remote rfc2217
    target remote-raw raw
    target remote-absent rfc2217
} >"$work/env.yaml"

cd "$work"
# Debian's python3 has python3-labgrid; a python of one's own on PATH may not.
TOLVAN_BUILD="$build" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -m pytest -p no:cacheprovider --rootdir "$here" \
    --lg-env "$work/env.yaml" -v "$here/tests"
