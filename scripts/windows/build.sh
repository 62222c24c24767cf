#!/usr/bin/env bash
# The Windows build, made here with MinGW-w64: the core, the catalogue's SQLite reading, the
# window program TolvanLink.exe, the simulated test support and the tests (tests/windows/run.sh runs them under Wine). SQLite and
# libjpeg-turbo are cross-built from Debian's sources first (scripts/windows/third-party.sh). Qt for Windows is the prebuilt tarball of
# ../shared/windows/ (beside the repository), extracted into the build folder once; where it is
# absent, the same Qt is built from Debian's source with scripts/windows/build-qt6-mingw.sh.
# Usage: scripts/windows/build.sh [build-dir]   (default build-win)
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(realpath -m "${1:-build-win}")"
"$repo/scripts/install-deps.sh" --windows

qt_name=qt6.4.2-mingw-w64
qt="$build/$qt_name"
if [ ! -x "$qt/bin/qt-cmake" ]; then
    mkdir -p "$build"
    tarball="$repo/../shared/windows/$qt_name.tar.xz"
    if [ ! -f "$tarball" ]; then
        tarball="$build/$qt_name.tar.xz"
        if [ ! -f "$tarball" ]; then
            echo "build.sh: no prebuilt Qt at $repo/../shared/windows/; building it from Debian's" \
                "qt6-base source (about 15 minutes on 2 cores, 25 minutes of processor time)" >&2
            nice -n 10 "$repo/scripts/windows/build-qt6-mingw.sh" "$tarball" >/dev/null
        fi
    fi
    tar -xJf "$tarball" -C "$build"
fi

"$repo/scripts/windows/third-party.sh" "$build"

# The panel's pictures are drawn at build time by a program of this machine: made by a build
# for this machine of that one target in <build-dir>/host-tools, unless
# $TOLVAN_HOST_ARTWORK_GENERATOR names one already built.
generator="${TOLVAN_HOST_ARTWORK_GENERATOR:-}"
if [ -z "$generator" ]; then
    host="$build/host-tools"
    [ -f "$host/build.ninja" ] ||
        cmake -S "$repo" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DTOLVAN_BUILD_TESTS=OFF -DTOLVAN_BUILD_BENCH=OFF >/dev/null
    nice -n 10 cmake --build "$host" -j2 --target tolvan_artwork_gen
    generator="$host/tools/artwork/tolvan_artwork_gen"
fi

# Never the host's /usr/include: its glibc headers would shadow MinGW's.
if [ ! -f "$build/build.ninja" ]; then
    "$qt/bin/qt-cmake" -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$qt/mingw-w64-toolchain.cmake" \
        -DTOLVAN_HOST_ARTWORK_GENERATOR="$generator"
elif ! grep -qxF "TOLVAN_HOST_ARTWORK_GENERATOR:FILEPATH=$generator" "$build/CMakeCache.txt"; then
    cmake -DTOLVAN_HOST_ARTWORK_GENERATOR="$generator" "$build" >/dev/null
fi
# The machine is shared: two jobs at most, below the others' priority.
nice -n 10 cmake --build "$build" -j2
