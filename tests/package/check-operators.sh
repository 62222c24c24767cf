#!/usr/bin/env bash
# After `apt-get install ./tolvanlink_<version>_<arch>.deb`: two operators, ordinary users in the
# group dialout, share the folder Orsolite/Comuns. Neither may delete, rename or replace the port
# file, the port map, the example or the other's files, nor write the port map; each may make
# files of his own. Both save their port with the installed program: it rewrites the port file in
# place, root's as well as one the first operator's program made after the file was deleted
# (group-writable, so the second operator's program can rewrite it), but not through a link one
# operator put in its place. The program writes the port
# file at start when the file is missing or holds no port number; it opens COM2, the device
# emulator, says that no system is installed and ends when answered.
# The test makes the two users and removes them; the folder is put back as it was.
# Usage: check-operators.sh (as root, on a machine where the package is installed)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
make_scratch

installed_root
marker="Tolvan Link package test"
[ "$(stat -c '%a %U:%G' "$common")" = "3775 root:dialout" ] ||
    fail "Comuns: $(stat -c '%a %U:%G' "$common")"

cp -a "$common" "$scratch/common-before"
cleanup_steps+=("find '$common' -mindepth 1 -delete && cp -a '$scratch/common-before/.' '$common/'")

operators=(tolvan-test-a tolvan-test-b)
for user in "${operators[@]}"; do
    if getent passwd "$user" >/dev/null; then
        [ "$(getent passwd "$user" | cut -d: -f5)" = "$marker" ] || fail "$user exists already"
        userdel "$user"
    fi
    mkdir -p "$scratch/home-$user"
    useradd -M -d "$scratch/home-$user" -s /bin/sh -c "$marker" -G dialout "$user"
    cleanup_steps+=("userdel '$user'")
    chown "$user:" "$scratch/home-$user"
done
a=${operators[0]}
b=${operators[1]}

# as USER COMMAND...: runs the command as the operator, with his groups.
as() {
    local user="$1"
    shift
    setpriv --reuid="$user" --regid="$(id -g "$user")" --init-groups -- "$@"
}
refused() {  # WHAT USER COMMAND...
    local what="$1"
    shift
    if as "$@" 2>/dev/null; then fail "$1 could $what"; fi
}
cd "$common"

# The administrator's port map: the emulator's pty as COM2.
start_x
start_emulator "$R/bin/tolvan-emulator"
chgrp dialout "$pty"
chmod 0660 "$pty"
printf 'COM2=%s\n' "$pty" >SerialComm.txt
[ "$(stat -c '%a %U' SerialComm.txt)" = "644 root" ] || fail "SerialComm.txt: $(stat -c '%a %U' SerialComm.txt)"

# What no operator may do to root's files or to another operator's.
as "$a" sh -c 'echo mine >"$1"' - "$a.txt" || fail "$a cannot make a file in Comuns"
for target in Comm.txt SerialComm.txt SerialComm.txt.example "$a.txt"; do
    refused "delete $target" "$b" rm -f "$target"
    refused "rename $target" "$b" mv "$target" "$target.moved"
done
refused "delete Comm.txt" "$a" rm -f Comm.txt
refused "write the port map" "$a" sh -c ': >>SerialComm.txt'
refused "replace the port map" "$a" mv "$a.txt" SerialComm.txt
as "$a" rm "$a.txt" || fail "$a cannot delete his own file"

# run_program USER [REPORT]: the installed launcher as the operator, until its no-system
# message; it reports REPORT about the port file, or nothing.
run_program() {
    local user="$1" report="${2:-}" out="$scratch/program-$1.out"
    (cd / && as "$user" env HOME="$scratch/home-$user" XDG_STATE_HOME="" QT_QPA_PLATFORM=xcb \
        TOLVAN_ROOT="" "$R/bin/tolvanlink" >"$out" 2>&1) &
    local program=$!
    started_pids+=("$program")
    wait_window "Informação" 30
    press "Informação" Return
    wait_exit "$program" 15
    [ "$status" -eq 0 ] || fail "$user: the program ended with $status: $(cat "$out")"
    if [ -z "$report" ] && grep -q 'port file' "$out"; then fail "$user: $(cat "$out")"; fi
    if [ -n "$report" ] && ! grep -q "$report" "$out"; then fail "$user: no \"$report\": $(cat "$out")"; fi
}
expect_port_file() {  # OWNER MODE INODE(or -)
    local seen
    seen="$(stat -c '%U %a %G' Comm.txt)"
    [ "$seen" = "$1 $2 dialout" ] || fail "Comm.txt: $seen, not $1 $2 dialout"
    [ "$(cat Comm.txt)" = $'2\r' ] || fail "Comm.txt holds $(od -c Comm.txt)"
    if [ "$3" != - ] && [ "$(stat -c %i Comm.txt)" != "$3" ]; then fail "Comm.txt was replaced"; fi
}

# Root's port file, holding no port number, is rewritten in place by each operator's program.
for user in "$a" "$b"; do
    printf 'x\r\n' >Comm.txt
    inode="$(stat -c %i Comm.txt)"
    run_program "$user"
    expect_port_file root 664 "$inode"
done

# With the port file gone, the first operator's program makes it, writable by the group: the
# second's rewrites it in place and cannot delete it.
rm Comm.txt
run_program "$a"
expect_port_file "$a" 664 -
as "$a" sh -c "printf 'x\r\n' >Comm.txt"
inode="$(stat -c %i Comm.txt)"
run_program "$b"
expect_port_file "$a" 664 "$inode"
refused "delete the other's Comm.txt" "$b" rm -f Comm.txt

# A link that the first operator puts in the port file's place is not written through by the
# second's program: his own file stays as it was.
as "$b" sh -c 'echo private >"$1"' - "$b.txt"
as "$a" rm Comm.txt
as "$a" ln -s "$b.txt" Comm.txt
run_program "$b" "Cannot write the port file"
[ "$(cat "$b.txt")" = private ] || fail "the program wrote through a link: $(od -c "$b.txt")"

echo "operators: ok (two members of dialout keep the shared folder's files and both save the port)"
