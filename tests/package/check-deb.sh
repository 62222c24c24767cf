#!/usr/bin/env bash
# CPack makes the Debian package; its control data and contents are checked, its programs must
# carry Debian's hardening (position-independent, read-only relocations bound at start, stack
# protector, fortified functions), it is unpacked into a scratch root and the unpacked program is started through its launcher on an X server of
# the test's own, with the unpacked device emulator on COM2. The program must find its texts and
# its port file beside itself (no TOLVAN_ROOT), open the port, say that no system is installed
# (the package ships no catalogue rows) and end when the operator answers, leaving the serial
# trace in the launcher's working folder.
# Usage: check-deb.sh CPACK BUILD-DIR VERSION
set -euo pipefail
cpack="$1"
build="$2"
version="$3"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
make_scratch

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/cpack" >"$scratch/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$scratch/cpack.log")"
deb="$(ls "$scratch"/cpack/tolvanlink_*.deb)"
[ -f "$deb" ] || fail "no package in $scratch/cpack"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tolvanlink ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
# A maintainer one can write to, and a description that fits 80 columns.
grep -qE '^[^<]+ <[^@ ]+@[^@ ]+\.[a-z]+>$' <<<"$(field Maintainer)" || fail "Maintainer: $(field Maintainer)"
if grep -qiE '@example\.(org|com|net)>' <<<"$(field Maintainer)"; then fail "a placeholder maintainer"; fi
if dpkg-deb -f "$deb" Description | awk 'length > 79 { exit 1 }'; then :; else
    fail "a description line of 80 characters or more"
fi
depends="$(field Depends)"
for package in libqt6widgets6 libqt6gui6 libqt6core6 libsqlite3-0 libjpeg62-turbo libx11-6 \
    fonts-liberation; do
    grep -q -E "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done
dpkg-deb -I "$deb" postinst >/dev/null || fail "no postinst"
dpkg-deb -I "$deb" postrm >/dev/null || fail "no postrm"

dpkg-deb -c "$deb" | sed 's/^.* \.\//\//; s/ -> .*$//' >"$scratch/contents"
for path in "/opt/tolvan/Orsolite/Tolvan Link/TolvanLink" \
    "/opt/tolvan/Orsolite/Tolvan Link/Captions.txt" "/opt/tolvan/Orsolite/Tolvan Link/Mensagens.txt" \
    "/opt/tolvan/Orsolite/Tolvan Link/bin/" "/opt/tolvan/Orsolite/Tolvan Link/Tabelas/" \
    "/opt/tolvan/Orsolite/Tolvan Link/manual/Index.html" \
    /opt/tolvan/Orsolite/Comuns/SerialComm.txt.example /opt/tolvan/bin/tolvanlink \
    /opt/tolvan/bin/tolvan-catalogue /opt/tolvan/bin/tolvan-emulator /opt/tolvan/bin/tolvan-flash \
    /usr/bin/tolvanlink /usr/bin/tolvan-flash /usr/share/man/man1/tolvan-flash.1.gz \
    /usr/share/man/man1/tolvanlink.1.gz /usr/share/man/man1/tolvan-catalogue.1.gz \
    /usr/share/man/man1/tolvan-emulator.1.gz /usr/share/doc/tolvanlink/copyright \
    /usr/share/doc/tolvanlink/changelog.gz /usr/share/lintian/overrides/tolvanlink \
    /usr/share/applications/tolvanlink.desktop /usr/share/icons/hicolor/48x48/apps/tolvanlink.png \
    /usr/share/icons/hicolor/256x256/apps/tolvanlink.png; do
    grep -qxF "$path" "$scratch/contents" || fail "the package lacks $path"
done
# What the site makes its own is never overwritten by an upgrade: it is not in the package.
if grep -E '/(Comm\.txt|SerialComm\.txt|Selecao|TolvanLink\.db)$' "$scratch/contents"; then
    fail "the package holds a file of the site's own"
fi

grep -qE '^/usr/share/metainfo/[^/]+\.metainfo\.xml$' "$scratch/contents" || fail "no AppStream metadata"
unpacked="$scratch/root"
dpkg-deb -x "$deb" "$unpacked"
R="$unpacked/opt/tolvan"
[ "$(zcat "$unpacked/usr/share/doc/tolvanlink/changelog.gz" | head -n 1 | cut -d ' ' -f 1-2)" = \
  "tolvanlink ($version)" ] || fail "the changelog's latest entry is not for $version"

for program in "$R/Orsolite/Tolvan Link/TolvanLink" "$R/bin/tolvan-catalogue" "$R/bin/tolvan-emulator" \
    "$R/bin/tolvan-flash"; do
    name="$(basename "$program")"
    readelf -h "$program" | grep -qE 'Type: +DYN' || fail "$name is not position-independent"
    readelf -lW "$program" | grep -q GNU_RELRO || fail "$name has no read-only relocations"
    readelf -dW "$program" | grep -qE 'BIND_NOW|FLAGS_1.*NOW' || fail "$name is not bound at start"
    grep -q '__stack_chk_fail' <<<"$(readelf --dyn-syms -W "$program")" || fail "$name has no stack protector"
done
# Fortified calls show where the compiler knows a buffer's size; the catalogue tool's calls give
# it none (they are inside the standard library's strings), so it is left out here.
for program in "$R/Orsolite/Tolvan Link/TolvanLink" "$R/bin/tolvan-emulator"; do
    grep -qE '__[a-z0-9_]+_chk@' <<<"$(readelf --dyn-syms -W "$program")" ||
        fail "$(basename "$program") calls no fortified function"
done
unset TOLVAN_ROOT
start_x
start_emulator "$R/bin/tolvan-emulator"
printf 'COM2=%s\n' "$pty" >"$R/Orsolite/Comuns/SerialComm.txt"

home="$scratch/home"
mkdir -p "$home"
HOME="$home" XDG_STATE_HOME="" QT_QPA_PLATFORM=xcb "$R/bin/tolvanlink" >"$scratch/program.out" 2>&1 &
program=$!
started_pids+=("$program")

wait_window "Informação" 30
# Comm.txt beside the unpacked program shows that the root was found from the executable's place.
[ "$(cat "$R/Orsolite/Comuns/Comm.txt" 2>/dev/null)" = $'2\r' ] || fail "no Comm.txt holding 2 in the unpacked root"
# The no-system message comes only after the port has opened: a port that fails asks first.
if has_window "Erro"; then fail "the port did not open"; fi
press "Informação" Return
wait_exit "$program" 15
[ "$status" -eq 0 ] || fail "the program ended with $status: $(cat "$scratch/program.out")"

work="$home/.local/state/tolvanlink"
[ -f "$work/APD.TRC" ] && [ -f "$work/APD.LOG" ] || fail "no serial trace in the working folder $work"
if grep -q -e 'File not found' -e 'Cannot write' "$scratch/program.out"; then
    fail "the program reported: $(cat "$scratch/program.out")"
fi
echo "package: ok ($(basename "$deb"), $(wc -l <"$scratch/contents") entries)"
