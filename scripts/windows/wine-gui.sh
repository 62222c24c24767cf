#!/usr/bin/env bash
# TolvanLink.exe of the Windows build under Wine, installed as on Windows: a fresh 64-bit prefix
# whose drive C: holds the installation (tolvan-install of the Linux build lays it out, with its
# options), the program and its DLLs in C:\Orsolite\Tolvan Link\, and the device emulator on a
# pseudo-terminal mapped as COM2 (the installation's port file says 2). The program runs with
# C:\ as its current folder, so the paths without a drive are C:'s too.
#   WINEPREFIX     the prefix (default <win-build>/wine-gui; remade on each run)
#   TOLVAN_EMULATOR, TOLVAN_INSTALL   the Linux build's programs (default <linux-build>/tools/...)
#   TOLVAN_EMULATOR_OPTIONS           more options for the emulator (--no-pacing, --hangup-after X)
# The emulator's frame log and store are <prefix>/emulator.frames and <prefix>/device.txt. Runs
# until the program ends; then the emulator and Wine's server are stopped. Without $DISPLAY it
# runs on a private Xvfb.
# Usage: scripts/windows/wine-gui.sh <win-build> <linux-build> [tolvan-install options...]
#   e.g. scripts/windows/wine-gui.sh build-win build --selector "Sistema 3" --background --marker
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"; fi
win="$(realpath "${1:?usage: wine-gui.sh <win-build> <linux-build> [install options...]}")"
linux="$(realpath "${2:?usage: wine-gui.sh <win-build> <linux-build> [install options...]}")"
shift 2
emulator="${TOLVAN_EMULATOR:-$linux/tools/emulator/tolvan-emulator}"
install="${TOLVAN_INSTALL:-$linux/tools/install/tolvan-install}"
export WINEPREFIX="${WINEPREFIX:-$win/wine-gui}" WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
source "$(dirname "${BASH_SOURCE[0]}")/wine-ports.sh"
cleanup() {
    wineserver -k 2>/dev/null || true
    ((${#wine_emulators[@]} == 0)) || kill "${wine_emulators[@]}" 2>/dev/null || true
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1

drive_c="$WINEPREFIX/drive_c"
"$install" --root "$drive_c" "$@"
program_dir="$drive_c/Orsolite/Tolvan Link"
qt="$win/qt6.4.2-mingw-w64"
cp "$win/src/gui/TolvanLink.exe" "$qt"/bin/Qt6{Core,Gui,Widgets}.dll \
   /usr/lib/gcc/x86_64-w64-mingw32/12-posix/{libstdc++-6,libgcc_s_seh-1}.dll \
   /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$program_dir/"
mkdir -p "$program_dir/platforms" "$program_dir/styles"
cp "$qt/plugins/platforms/qwindows.dll" "$program_dir/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$program_dir/styles/"

# The device on a pseudo-terminal, mapped as COM2; Wine reads its ports when it starts.
read -r -a more <<<"${TOLVAN_EMULATOR_OPTIONS:-}"
wine_map_emulator COM2 "$emulator" --store "$WINEPREFIX/device.txt" \
    --frame-log "$WINEPREFIX/emulator.frames" "${more[@]}"
wineserver -k && wineserver -w
echo "wine-gui: C:\\Orsolite\\Tolvan Link\\TolvanLink.exe in $drive_c, COM2 on $(readlink "$WINEPREFIX/dosdevices/com2")" >&2

cd "$drive_c"
status=0
wine 'C:\Orsolite\Tolvan Link\TolvanLink.exe' || status=$?
echo "wine-gui: TolvanLink.exe ended with exit status $status" >&2
exit "$status"
