#!/usr/bin/env bash
# Builds the Debian package of Tolvan Link and prints its path.
# Usage: scripts/package.sh [build-dir]; then: sudo apt-get install ./<the .deb>
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$here/build}")"
"$here/scripts/install-deps.sh" >&2
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build "$build" -j "$(nproc)" >&2
rm -f "$build"/tolvanlink_*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$build"/tolvanlink_*.deb
