#!/usr/bin/env bash
# What a distributor checks before shipping the package: lintian (pedantic; no error and no
# warning, the overrides in packaging/debian/lintian-overrides aside), the AppStream metadata
# (appstreamcli; --no-net because the screenshot's address is not fetched here) and the desktop
# entry (desktop-file-validate, which must say nothing).
# Usage: check-lint.sh DEB
set -euo pipefail
deb="$(realpath "$1")"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
make_scratch

# lintian refuses to run as root only in spirit: it says so on standard error and goes on.
lintian --pedantic --display-info --tag-display-limit 0 --fail-on error,warning "$deb" \
    2> >(grep -v 'running with root privileges' >&2) || fail "lintian"

dpkg-deb -x "$deb" "$scratch/root"
metainfo=("$scratch"/root/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || fail "no AppStream metadata in the package"
appstreamcli validate --no-net --pedantic "${metainfo[@]}" || fail "appstreamcli validate"

entry="$scratch/root/usr/share/applications/tolvanlink.desktop"
said="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate: $said"
[ -z "$said" ] || fail "desktop-file-validate: $said"
echo "lint: ok (lintian, appstreamcli and desktop-file-validate accept $(basename "$deb"))"
