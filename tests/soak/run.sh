#!/usr/bin/env bash
# Builds what the soak needs and runs it: tests/soak/run.sh [build-dir] [soak.py options]
# e.g. tests/soak/run.sh build --runs 200 --jobs 2 --seed 7
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(realpath -m "${1:-$here/build}")"
shift || true
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target tolvan-flash tolvan-emulator tolvan-install
exec python3 "$here/tests/soak/soak.py" --build "$build" "$@"
