#!/usr/bin/env bash
# Installs every package the build, the tests (the labgrid driver's too; ser2net and pyserial
# serve the ports on another machine), the demo and the benchmarks need; with --ci also what
# only .ci/run needs, with --vm only what the virtual machine rig needs besides, with --windows only
# what the Windows cross build and its tests under Wine need besides. Used by .ci/run, by the
# README's commands, by scripts/demo.sh, by tests/vm/run.sh and by scripts/windows/build.sh.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-serialport-dev libgl-dev
    libsqlite3-dev sqlite3 libjpeg62-turbo-dev pxlib-dev libx11-dev libxdamage-dev
    libcli11-dev libcsv-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    xvfb xauth x11-utils xdotool fonts-liberation
    desktop-file-utils appstream lintian man-db
    weston xwayland qt6-wayland
    python3-labgrid python3-pytest
    ser2net python3-serial
)
# A spreadsheet, headless, that writes the CSV files tests/catalogue/check-spreadsheet-csv.sh
# imports: large, so only CI has it.
ci_packages=(libreoffice-calc-nogui)
# The virtual machine of tests/vm: QEMU, busybox for its initramfs, udev for its
# /dev/serial/by-id (its kernel comes from the archive too, fetched by the rig with apt-get
# download).
vm_packages=(qemu-system-x86 busybox-static udev)
# The Windows build: MinGW-w64 with POSIX threads, Wine to run its tests, NSIS for its installer,
# Qt's host tools (moc, rcc, uic) for the prebuilt Qt and googletest's sources to build with it;
# dpkg-source and tclsh to unpack Debian's sources of SQLite and the rest and make SQLite's
# amalgamation (scripts/windows/third-party.sh); chmcmd (fp-utils) to compile the manual that F1
# opens through HTML Help.
windows_packages=(g++-mingw-w64-x86-64-posix wine wine64 nsis xz-utils qt6-base-dev-tools googletest
                  dpkg-dev tcl fp-utils-3.2.2)
case "${1:-}" in
--ci) packages+=("${ci_packages[@]}" "${vm_packages[@]}" "${windows_packages[@]}") ;;
--vm) packages+=("${vm_packages[@]}") ;;
--windows) packages+=("${windows_packages[@]}") ;;
esac
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
