#!/usr/bin/env bash
# Builds the program and the benchmarks in Release and prints the four measured-speed figures
# (line efficiency, poll cadence, start-up, core cost) with their goals and PASS or MISS.
# Usage: scripts/bench.sh [build-dir] [tolvan-bench options: --only NAME, --runs N, -v ...]
# Takes about two minutes; run it on an otherwise idle machine.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-release"
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
    build="$(realpath -m "$1")"
    shift
fi
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVAN_BUILD_TESTS=OFF \
      -DTOLVAN_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target tolvan-bench -j "$(nproc)"
echo "Tolvan Link benchmarks: $(git -C "$here" rev-parse --short HEAD 2>/dev/null || echo '?')," \
     "Release, $(nproc) cores, $(uname -srm)"
exec "$build/bench/tolvan-bench" "$@"
