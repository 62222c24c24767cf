#!/usr/bin/env bash
# The programs inside a virtual machine, on a real kernel's USB serial driver (tests/vm/rig.py):
# sets up what it needs, builds the programs the guest runs and runs the rig.
# Usage: tests/vm/run.sh [build-dir] [rig.py options], e.g. tests/vm/run.sh build --only list-ports
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(realpath -m "${1:-$here/build}")"
shift || true
"$here/scripts/install-deps.sh" --vm
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target tolvan-flash tolvan-emulator tolvan-install \
    tolvan-catalogue TolvanLink
exec python3 "$here/tests/vm/rig.py" --build "$build" "$@"
