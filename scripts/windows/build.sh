#!/usr/bin/env bash
# The Windows build, made here with MinGW-w64: the core, the catalogue's SQLite reading,
# tolvan-flash (<build-dir>/src/cli/tolvan-flash.exe), the simulated test support and the tests
# (tests/windows/run.sh runs them under Wine). SQLite and
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

# Never the host's /usr/include: its glibc headers would shadow MinGW's.
if [ ! -f "$build/build.ninja" ]; then
    "$qt/bin/qt-cmake" -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$qt/mingw-w64-toolchain.cmake"
fi
# The machine is shared: two jobs at most, below the others' priority.
nice -n 10 cmake --build "$build" -j2
