#!/usr/bin/env bash
# `cmake --install` into a scratch DESTDIR lays out the tree the program expects, and beside it
# what the desktop and Debian ask for: a link and a manual page for each command, the desktop
# entry with its icon in each size, the AppStream metadata, the copyright and changelog files.
# Usage: check-install-tree.sh CMAKE BUILD-DIR DESKTOP-PREFIX COMMAND...
set -euo pipefail
export LC_ALL=C  # the texts are compared byte by byte
cmake="$1"
build="$2"
desktop="${3:-}"
shift 3
commands=("$@")
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
for tool in "${commands[@]}"; do
    [ -x "$R/bin/$tool" ] || fail "no $tool in $root/bin"
    grep -q "^Usage: $tool" <<<"$("$R/bin/$tool" --help)" || fail "$tool --help shows no usage"
done

if [ -n "$desktop" ]; then
    share="$dest$desktop/share"
    for tool in "${commands[@]}"; do
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
# The icon in hicolor at 48 x 48 and the other usual sizes: a PNG of the size its folder says
# (the signature, then the IHDR's width and height).
for size in 16 22 24 32 48 64 128 256; do
    icon="$share/icons/hicolor/${size}x${size}/apps/tolvanlink.png"
    [ -s "$icon" ] || fail "no icon of $size x $size"
    [ "$(head -c 24 "$icon" | od -An -tx1 | tr -d ' \n')" = \
      "89504e470d0a1a0a0000000d49484452$(printf '%08x%08x' "$size" "$size")" ] ||
        fail "hicolor/${size}x${size}/apps/tolvanlink.png is not a $size x $size PNG"
done

for tool in "${commands[@]}"; do
    [ -s "$share/man/man1/$tool.1.gz" ] || fail "no manual page for $tool"
done
metainfo=("$share"/metainfo/*.metainfo.xml)
[ -s "${metainfo[0]}" ] || fail "no AppStream metadata"
grep -q '<launchable type="desktop-id">tolvanlink.desktop</launchable>' "${metainfo[0]}" ||
    fail "the metadata does not name the desktop entry"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "${metainfo[0]}" >"$scratch/appstream.out" 2>&1 ||
        fail "appstreamcli: $(cat "$scratch/appstream.out")"
fi
# The screenshot the metadata names is one of the README's.
screenshot="$(sed -n 's#.*<image>.*/screenshots/\(.*\)</image>.*#\1#p' "${metainfo[0]}")"
[ -s "$(dirname "${BASH_SOURCE[0]}")/../../docs/screenshots/$screenshot" ] ||
    fail "the metadata's screenshot \"$screenshot\" is not in docs/screenshots"
[ -s "$share/doc/tolvanlink/copyright" ] || fail "no copyright file"
zcat "$share/doc/tolvanlink/changelog.gz" | grep -q '^tolvanlink (' || fail "no changelog"

echo "install tree: ok ($(find "$dest" -type f | wc -l) files)"
