#!/usr/bin/env bash
# `cmake --install` into a scratch DESTDIR lays out the tree the program expects.
# Usage: check-install-tree.sh CMAKE BUILD-DIR DESKTOP-PREFIX
set -euo pipefail
export LC_ALL=C  # the texts are compared byte by byte
cmake="$1"
build="$2"
desktop="${3:-}"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
make_scratch

root=/opt/tolvan
dest="$scratch/dest"
DESTDIR="$dest" "$cmake" --install "$build" --prefix "$root" >"$scratch/install.log" 2>&1 ||
    fail "cmake --install: $(cat "$scratch/install.log")"
R="$dest$root"
program_dir="$R/Orsolite/Tolvan Link"
common="$R/Orsolite/Comuns"

[ -x "$program_dir/TolvanLink" ] || fail "no executable TolvanLink in $program_dir"
for dir in bin Tabelas; do
    [ -d "$program_dir/$dir" ] || fail "no folder $dir"
    [ -z "$(ls -A "$program_dir/$dir")" ] || fail "$dir is not empty: $(ls -A "$program_dir/$dir")"
done
[ -s "$program_dir/manual/Index.html" ] || fail "no manual"
[ -s "$common/SerialComm.txt.example" ] || fail "no SerialComm.txt.example"
# The port map and the port file are the site's own: the device scan applies and the program
# writes Comm.txt at its first start.
for file in SerialComm.txt Comm.txt Selecao; do
    [ ! -e "$common/$file" ] || fail "$file is installed"
done
# Every line of the example is a comment: copied as it is, it maps no port.
if grep -v '^#' "$common/SerialComm.txt.example" | grep -q '[^[:space:]]'; then
    fail "SerialComm.txt.example maps a port"
fi

# The texts: Windows-1252 with CR LF, a Portuguese section closed by [FIM].
expect_bytes() {  # FILE PRINTF-PATTERN WHAT
    grep -q -a -F "$(printf "$2")" "$1" || fail "$(basename "$1") lacks $3"
}
captions="$program_dir/Captions.txt"
messages="$program_dir/Mensagens.txt"
expect_bytes "$captions" '[Portugu\352s]\r' "[Português] in Windows-1252 with CR LF"
expect_bytes "$captions" '[FIM]\r' "[FIM]"
expect_bytes "$messages" 'Porta de Comunica\347\343o Inv\341lida!' "the invalid-port message in Windows-1252"
expect_bytes "$messages" 'Nenhum sistema foi encontrado.' "the no-system message"
# ç and ã as UTF-8 would be two bytes each.
if grep -q -a -e $'\xc3\xa7' -e $'\xc3\xa3' "$messages"; then fail "Mensagens.txt holds UTF-8"; fi

# The launcher and the tools.
for tool in tolvanlink tolvan-catalogue tolvan-emulator; do
    [ -x "$R/bin/$tool" ] || fail "no $tool in $root/bin"
done
"$R/bin/tolvan-catalogue" --help >/dev/null || fail "tolvan-catalogue --help"
"$R/bin/tolvan-emulator" --help >/dev/null || fail "tolvan-emulator --help"

if [ -n "$desktop" ]; then
    share="$dest$desktop/share"
    for tool in tolvanlink tolvan-catalogue tolvan-emulator; do
        link="$dest$desktop/bin/$tool"
        [ -L "$link" ] || fail "no link $desktop/bin/$tool"
        [ "$(readlink "$link")" = "$root/bin/$tool" ] || fail "$desktop/bin/$tool -> $(readlink "$link")"
    done
else
    share="$R/share"
fi
entry="$share/applications/tolvanlink.desktop"
[ -s "$entry" ] || fail "no desktop entry"
grep -qx 'Name=Tolvan Link' "$entry" || fail "desktop entry: Name"
grep -qx 'Exec=tolvanlink' "$entry" || fail "desktop entry: Exec"
grep -qx 'Icon=tolvanlink' "$entry" || fail "desktop entry: Icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate"
fi
icon="$share/icons/hicolor/256x256/apps/tolvanlink.png"
[ -s "$icon" ] || fail "no icon"
# PNG signature, then the IHDR's width and height: 256 x 256.
[ "$(head -c 24 "$icon" | od -An -tx1 | tr -d ' \n')" = \
  "89504e470d0a1a0a0000000d49484452""0000010000000100" ] || fail "the icon is not a 256 x 256 PNG"

echo "install tree: ok ($(find "$dest" -type f | wc -l) files)"
