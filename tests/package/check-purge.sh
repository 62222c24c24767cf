#!/usr/bin/env bash
# Remove, purge and reinstall of the installed package. The site adds a system to the catalogue
# with its image file, writes a port map and chooses port 3. Removing keeps all of it and
# reinstalling takes it up again; purging removes the package's own files and record and keeps
# the site's, in a folder the operators can no longer write. Once the site's files are gone, a
# fresh install and purge leave nothing behind. The package is installed again at the end.
# Usage: check-purge.sh DEB (as root, on a machine where the package is installed and the
# site has added nothing yet)
set -euo pipefail
deb="$(realpath "$1")"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
make_scratch

installed_root
bin="$R/Orsolite/Tolvan Link/bin"
catalogue="$R/Orsolite/Tolvan Link/Tabelas/TolvanLink.db"
state=/var/lib/tolvanlink
export DEBIAN_FRONTEND=noninteractive
apt() { apt-get -y -q "$@" >>"$scratch/apt.log" 2>&1 || fail "apt-get $*: $(tail -n 20 "$scratch/apt.log")"; }
installed() { dpkg-query -W -f='${Status}' tolvanlink 2>/dev/null | grep -q "install ok installed"; }
installed || fail "tolvanlink is not installed"
[ ! -e "$common/SerialComm.txt" ] && [ -z "$(ls -A "$bin")" ] ||
    fail "the site has files in $R already: this test is for a machine of its own"
# Whatever happens, the package is installed at the end with its catalogue and port file as
# they were, and the test's files are gone.
mkdir "$scratch/before"
cp -a "$catalogue" "$common/Comm.txt" "$state" "$scratch/before/"
cleanup_steps+=("rm -rf '$state' && cp -a '$scratch/before/TolvanLink.db' '$catalogue' &&
    cp -a '$scratch/before/Comm.txt' '$common/' && cp -a '$scratch/before/tolvanlink' '$state'")
cleanup_steps+=("rm -f '$bin/TESTE.BIN' '$common/SerialComm.txt'")
cleanup_steps+=("installed || apt-get -y -q install '$deb' >/dev/null 2>&1")

# Only these stay after purging, each as the site left it.
site_files() {
    tolvan-catalogue add "$catalogue" --descricao "Sistema de Teste" --arquivo TESTE.BIN \
        --arquivo-l TESTE_L.BIN --setor 1 --setor-l 1 >/dev/null
    head -c 256 /dev/zero >"$bin/TESTE.BIN"
    printf 'COM3=/dev/ttyUSB0\n' >"$common/SerialComm.txt"
    printf '3\r\n' >"$common/Comm.txt"
    (cd / && sha256sum "$catalogue" "$bin/TESTE.BIN" "$common/SerialComm.txt" "$common/Comm.txt") \
        >"$scratch/site.sha256"
}
site_unchanged() {
    sha256sum --quiet -c "$scratch/site.sha256" >/dev/null 2>&1 ||
        fail "$1: the site's files changed: $(sha256sum -c "$scratch/site.sha256" 2>&1)"
}
package_gone() {
    local path
    for path in /usr/bin/tolvanlink /usr/share/man/man1/tolvan-catalogue.1.gz \
        /usr/share/doc/tolvanlink /usr/share/applications/tolvanlink.desktop \
        "$R/bin" "$R/Orsolite/Tolvan Link/TolvanLink" "$common/SerialComm.txt.example"; do
        [ ! -e "$path" ] || fail "$1: $path is still there"
    done
}
left_in_root() {
    find "$R" -mindepth 1 ! -type d -printf '%P\n' | sort | tr '\n' '|'
}

site_files
apt remove tolvanlink
package_gone "remove"
site_unchanged "remove"
[ "$(stat -c '%a %G' "$common")" = "3775 dialout" ] || fail "remove: Comuns is $(stat -c '%a %G' "$common")"
[ -d "$state" ] || fail "remove: the package's record is gone"

apt install "$deb"
site_unchanged "reinstall"
tolvan-catalogue list "$catalogue" | grep -q "Sistema de Teste" || fail "reinstall: the system is gone"

apt purge tolvanlink
package_gone "purge"
site_unchanged "purge"
[ "$(left_in_root)" = "Orsolite/Comuns/Comm.txt|Orsolite/Comuns/SerialComm.txt|Orsolite/Tolvan Link/Tabelas/TolvanLink.db|Orsolite/Tolvan Link/bin/TESTE.BIN|" ] ||
    fail "purge left: $(left_in_root)"
[ "$(stat -c '%a %U:%G' "$common")" = "755 root:root" ] || fail "purge: Comuns is $(stat -c '%a %U:%G' "$common")"
[ "$(stat -c '%a %U:%G' "$common/Comm.txt")" = "644 root:root" ] || fail "purge: Comm.txt is $(stat -c '%a %U:%G' "$common/Comm.txt")"
[ ! -e "$state" ] || fail "purge: $state is still there"

# Without the site's files, what the package made goes whole.
rm "$catalogue" "$bin/TESTE.BIN" "$common/SerialComm.txt" "$common/Comm.txt"
apt install "$deb"
[ "$(cat "$common/Comm.txt")" = $'2\r' ] || fail "fresh install: Comm.txt holds $(od -c "$common/Comm.txt")"
apt purge tolvanlink
package_gone "second purge"
[ ! -e "$R" ] || fail "second purge left $(find "$R" | tr '\n' ' ')"
[ ! -e "$state" ] || fail "second purge: $state is still there"

apt install "$deb"
installed || fail "the package did not install again"
echo "remove and purge: ok (the site's catalogue, port, port map and images stay; the package's own files go)"
