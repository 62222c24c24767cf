#!/usr/bin/env bash
# The Windows release under Wine, in a fresh prefix of its own. A silent install puts exactly the
# zip's files and the uninstaller under C:\Orsolite, each DLL beside the programs imported by one
# of them and each import there or Windows' own, a Start-menu entry and an entry in Add/Remove
# programs; a silent uninstall right away leaves nothing. Installed again, the site adds a system
# to the catalogue with its image files and chooses a port; tolvan-flash.exe programs and verifies
# the system on the emulator at COM5 (skipped without the emulator). Installing over the
# installation keeps the site's files, and so does the uninstaller, which removes the program's
# files and names each kept one in its log; installing again keeps them as they are. Times and sizes go to <build-dir>/wine-results/installer.txt.
# Usage: tests/windows/check-installer.sh [build-dir]   (after scripts/windows/build.sh)
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a "$0" "$@"; fi
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(realpath "${1:-build-win}")"
emulator="${TOLVAN_EMULATOR:-$repo/build/tools/emulator/tolvan-emulator}"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
setup="$build/TolvanLink-$version-setup.exe"
zip="$build/TolvanLink-$version-win64.zip"
results="$build/wine-results"
export WINEPREFIX="$build/wine-installer" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko dialogs, and no menu entries for the desktop this runs on.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
c="$WINEPREFIX/drive_c"
program="$c/Orsolite/Tolvan Link"
common="$c/Orsolite/Comuns"
shortcut="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tolvan Link.lnk"
uninstall_key='[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TolvanLink]'
fail() {
    echo "check-installer.sh: $*" >&2
    exit 1
}
[ -f "$setup" ] && [ -f "$zip" ] || fail "no release in $build (scripts/windows/build.sh makes it)"
source "$repo/scripts/windows/wine-ports.sh"
cleanup() {
    wineserver -k 2>/dev/null || true
    ((${#wine_emulators[@]} == 0)) || kill "${wine_emulators[@]}" 2>/dev/null || true
}
trap cleanup EXIT
rm -rf "$WINEPREFIX"
mkdir -p "$results"
wineboot -i >/dev/null 2>&1
# The programs' working folder: on C:, as an operator's is (the tools' trace lands there).
scratch="$c/scratch"
mkdir "$scratch"

# The emulator on a pseudo-terminal of its own, mapped as COM5; Wine reads the ports when its
# server starts, so that one is let end.
if [ -x "$emulator" ]; then
    wine_map_emulator COM5 "$emulator" --no-pacing
fi
wineserver -w

# timed NAME COMMAND...: runs a Wine program to its end, the processes it started and the
# registry's writing included, and keeps the time it took.
declare -A took
timed() {
    local name=$1 start=$EPOCHREALTIME
    shift
    "$@" >>"$results/installer.log" 2>&1 || fail "$name: exit status $? (see $results/installer.log)"
    wineserver -w
    took[$name]=$(awk "BEGIN { printf \"%.1f\", $EPOCHREALTIME - $start }")
}
install() { timed install wine "$setup" /S; }
uninstall() { timed uninstall wine "$program/Uninstall.exe" /S; }
# Files and folders under C:\Orsolite, one a line.
installed() { (cd "$c" && find Orsolite | sort); }
registered() { grep -qF "$uninstall_key" "$WINEPREFIX/system.reg"; }

install
# Exactly the zip's tree, and the uninstaller.
expected="$(cmake -E tar tf "$zip" | sed 's|/$||' | { cat; echo 'Orsolite/Tolvan Link/Uninstall.exe'; } | sort)"
[ "$(installed)" = "$expected" ] ||
    fail "installed files differ from the zip's: $(diff <(echo "$expected") <(installed) | grep '^[<>]')"
[ -f "$shortcut" ] || fail "no Start-menu entry"
registered || fail "no entry in Add/Remove programs"
# The DLLs: none unused, none missing.
imports="$(for binary in "$program"/*.exe "$program"/*.dll "$program"/*/*.dll; do
    x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p'
done | tr '[:upper:]' '[:lower:]' | sort -u)"
for dll in "$program"/*.dll; do
    name="$(basename "$dll" | tr '[:upper:]' '[:lower:]')"
    grep -qxF "$name" <<<"$imports" || fail "$name is shipped but nothing imports it"
done
while read -r name; do
    [[ $name != api-ms-win-* ]] || continue  # Windows' API sets
    [ -n "$(find "$program" "$c/windows/system32" -maxdepth 1 -iname "$name")" ] ||
        fail "$name is imported but neither shipped nor Windows' own"
done <<<"$imports"

uninstall
[ ! -e "$c/Orsolite" ] || fail "uninstalling a fresh install left: $(installed | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the Start-menu entry is still there"
! registered || fail "the Add/Remove programs entry is still there"

# The site's files: a system with its images, and port 3.
install
head -c 512 /dev/urandom >"$program/bin/TESTE.BIN"
head -c 256 /dev/urandom >"$program/bin/TESTE_L.BIN"
(cd "$scratch" &&
    wine "$program/tolvan-catalogue.exe" add 'C:\Orsolite\Tolvan Link\Tabelas\TolvanLink.db' \
        --descricao "Sistema de Teste" --arquivo TESTE.BIN --setor auto \
        --arquivo-l TESTE_L.BIN --setor-l auto) >>"$results/installer.log" 2>&1 ||
    fail "tolvan-catalogue.exe add failed (see $results/installer.log)"
printf '3\r\n' >"$common/Comm.txt"
site=("$program/Tabelas/TolvanLink.db" "$program/bin/TESTE.BIN" "$program/bin/TESTE_L.BIN" "$common/Comm.txt")
sha256sum "${site[@]}" >"$WINEPREFIX/site.sha256"
site_unchanged() {
    sha256sum --quiet -c "$WINEPREFIX/site.sha256" >/dev/null 2>&1 ||
        fail "$1: the site's files changed: $(sha256sum -c "$WINEPREFIX/site.sha256" 2>&1 | grep -v ': OK')"
}

if ((${#wine_emulators[@]} > 0)); then
    (cd "$scratch" &&
        timeout 120 wine "$program/tolvan-flash.exe" --port COM5 --system "Sistema de Teste" --yes) \
        >"$results/installer-flash.log" 2>&1 ||
        fail "tolvan-flash.exe did not program and verify: exit status $? (see $results/installer-flash.log)"
else
    echo "check-installer.sh: no emulator at $emulator: tolvan-flash.exe is not run" >&2
fi

install  # an upgrade
site_unchanged "installing over the installation"
uninstall
site_unchanged "uninstall"
left="$(cd "$c" && find Orsolite -type f | sort)"
[ "$left" = "$(printf '%s\n' "${site[@]#"$c/"}" "Orsolite/Tolvan Link/Uninstall.log" | sort)" ] ||
    fail "uninstalling left $(tr '\n' ' ' <<<"$left")"
for file in "${site[@]}"; do
    windows="C:\\$(tr / '\\' <<<"${file#"$c/"}")"
    grep -qF "Kept: $windows" "$program/Uninstall.log" || fail "Uninstall.log does not name $windows"
done
! registered || fail "the Add/Remove programs entry is still there"

install
site_unchanged "reinstall"
[ ! -e "$program/Uninstall.log" ] || fail "installing again left the old Uninstall.log"

size() { du -k "$1" | cut -f1; }
echo "install ${took[install]} s, uninstall ${took[uninstall]} s; zip $(size "$zip") KiB," \
    "installer $(size "$setup") KiB" | tee "$results/installer.txt"
