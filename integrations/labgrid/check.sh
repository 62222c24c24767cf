#!/usr/bin/env bash
# The labgrid driver against the emulator, through labgrid's pytest plugin with a local
# environment written here (no coordinator). Usage: integrations/labgrid/check.sh <build-dir>
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(realpath "${1:?usage: check.sh <build-dir>}")"
for program in src/cli/tolvan-flash tools/emulator/tolvan-emulator tools/install/tolvan-install; do
    [ -x "$build/$program" ] || { echo "check.sh: $build/$program is not built" >&2; exit 1; }
done
work="$(mktemp -d -t tolvan-labgrid-XXXXXX)"
trap 'rm -rf "$work"' EXIT

# One target per device; the tests start an emulator behind each port link.
target() {  # target NAME
    cat <<TARGET
  $1:
    resources:
      RawSerialPort:
        port: "$work/$1-port"
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
} >"$work/env.yaml"

cd "$work"
# Debian's python3 has python3-labgrid; a python of one's own on PATH may not.
TOLVAN_BUILD="$build" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -m pytest -p no:cacheprovider --rootdir "$here" \
    --lg-env "$work/env.yaml" -v "$here/tests"
