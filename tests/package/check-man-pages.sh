#!/usr/bin/env bash
# The manual pages the build made from each command's --help: man shows each without a warning,
# and each page documents exactly the options that its command's --help lists, the options of
# its subcommands included (the lines of an option list start with blanks and a '-').
# Usage: check-man-pages.sh MAN-DIR NAME=PROGRAM...
set -euo pipefail
man_dir="$1"
shift
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

help_options() {  # PROGRAM [SUBCOMMAND]
    "$@" --help | grep -E '^ +-' | grep -oE '(^|[ ,])--?[A-Za-z0-9][-A-Za-z0-9]*' | tr -d ' ,'
}
for pair in "$@"; do
    name="${pair%%=*}"
    program="${pair#*=}"
    page="$man_dir/$name.1.gz"
    [ -s "$page" ] || fail "no manual page $page"
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "$name.1: $warnings"
    zcat "$page" | grep -q "^\.TH TOLVAN" || fail "$name.1 has no title line"

    listed="$(
        help_options "$program"
        "$program" --help | awk '/^Subcommands:/ { on = 1; next } on && !/^ / { on = 0 } on { print $1 }' |
            while read -r sub; do help_options "$program" "$sub"; done
    )"
    documented="$(zcat "$page" | grep -oE '\\fB(\\-){1,2}[A-Za-z0-9]([A-Za-z0-9]|\\-)*' |
        sed 's/^\\fB//; s/\\-/-/g')"
    [ -n "$listed" ] || fail "$name --help lists no option"
    if [ "$(sort -u <<<"$listed")" != "$(sort -u <<<"$documented")" ]; then
        fail "$name.1 and $name --help differ: $(diff <(sort -u <<<"$listed") <(sort -u <<<"$documented") | grep '^[<>]' | tr '\n' ' ')"
    fi
done
echo "manual pages: ok ($# pages in step with --help)"
