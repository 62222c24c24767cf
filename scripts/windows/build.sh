#!/usr/bin/env bash
# The Windows build, made here with MinGW-w64: the programs (<build-dir>/src/gui/TolvanLink.exe,
# <build-dir>/src/cli/tolvan-flash.exe), the tests (tests/windows/run.sh runs them under Wine) and
# the release in the build folder: the portable TolvanLink-<version>-win64.zip (its Orsolite folder
# goes to the root of C:) and the installer TolvanLink-<version>-setup.exe. The panel's pictures
# are drawn by this machine's tolvan_artwork_gen ($TOLVAN_HOST_ARTWORK_GENERATOR, or built in
# <build-dir>/host-tools). SQLite and
# libjpeg-turbo are cross-built from Debian's sources first (scripts/windows/third-party.sh). Qt
# for Windows is the prebuilt tarball of ../shared/windows/ (beside the repository), extracted
# into the build folder once; where it is absent, the same Qt is built from Debian's source with
# scripts/windows/build-qt6-mingw.sh.
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
        cmake -S "$repo" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
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

# The release: the tree that `cmake --install` stages (packaging/Windows.cmake), zipped, and the
# installer of packaging/windows/TolvanLink.nsi made from the same tree. Never a partial one.
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
IFS=';' read -r -a programs <<<"$(sed -n 's/^TOLVAN_RELEASE_PROGRAMS:INTERNAL=//p' "$build/CMakeCache.txt")"
stage="$build/release"
zip="$build/TolvanLink-$version-win64.zip"
setup="$build/TolvanLink-$version-setup.exe"
# A refused release leaves none from before for tests/windows/run.sh to take.
rm -rf "$stage" "$zip" "$setup"
cmake --install "$build" --prefix "$stage/root" --strip >"$stage.log"
program_dir="$stage/root/Orsolite/Tolvan Link"
missing=()
for file in "${programs[@]/%/.exe}" Tabelas/TolvanLink.db; do
    [ -f "$program_dir/$file" ] || missing+=("$file")
done
if ((${#missing[@]} > 0)); then
    echo "build.sh: no release made: it needs ${programs[*]/%/.exe} and Tabelas/TolvanLink.db" \
        "(made by tolvan-catalogue.exe); not built: ${missing[*]}" >&2
    exit 1
fi
(cd "$stage/root" && cmake -E tar cf "$zip" --format=zip Orsolite)

# The installer's file list and the uninstaller's, from the same tree, with Windows' separators.
# The catalogue is put only where there is none, and removed only while unedited (TolvanLink.nsi).
nsis_lists() {
    local dir file
    local others=(! -path ./Tabelas/TolvanLink.db)
    echo '!macro INSTALL_FILES'
    while read -r dir; do
        printf '    SetOutPath "$INSTDIR%s"\n' "${dir#.}" | tr / '\\'
        find "$dir" -maxdepth 1 -type f "${others[@]}" | sort |
            while read -r file; do printf '    File "%s/%s"\n' "$program_dir" "${file#./}"; done
    done < <(find . -type f "${others[@]}" -printf '%h\n' | sort -u)
    echo '!macroend'
    echo '!macro REMOVE_FILES'
    find . -type f "${others[@]}" -printf '    Delete "$INSTDIR\\%P"\n' | tr / '\\' | sort
    find . -mindepth 1 -type d -printf '    RMDir "$INSTDIR\\%P"\n' | tr / '\\' | sort -r
    echo '!macroend'
}
(cd "$program_dir" && nsis_lists) >"$stage/files.nsh"
makensis -V2 -WX -DVERSION="$version" -DSTAGE="$stage/root" -DFILES="$stage/files.nsh" \
    -DOUTFILE="$setup" "$repo/packaging/windows/TolvanLink.nsi"
ls -l "$zip" "$setup"
