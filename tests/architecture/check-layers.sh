#!/usr/bin/env bash
# The core's folders form one stack, each including only itself and the folders below it:
#   services <- texts <- link <- transfer <- panel <- app
# Fails, naming the file and the line, when a core file includes a folder above its own (which
# is also what any cycle between folders needs), or the adapters, the window or the command line.
# The front ends (the window gui/, tolvan-flash cli/) reach the core only through app/ (the
# session) and services/ (the interfaces and the drawn controls), and include platform/ only to
# wire the program together.
# Usage: check-layers.sh [src-dir] [--table]   --table prints the folder x folder include counts.
set -euo pipefail
src="${1:-$(dirname "${BASH_SOURCE[0]}")/../../src}"
layers=(services texts link transfer panel app)
# Above the whole core: what is built on it.
outside=(platform gui cli)

rank() {
    local i
    for i in "${!layers[@]}"; do
        [[ ${layers[$i]} == "$1" ]] && { echo "$i"; return; }
    done
    for i in "${outside[@]}"; do
        [[ $i == "$1" ]] && { echo "${#layers[@]}"; return; }
    done
    echo -1
}

declare -A counts=()
faults=0
for folder in "${layers[@]}"; do
    own=$(rank "$folder")
    while IFS=: read -r file line target; do
        counts[$folder,$target]=$((${counts[$folder,$target]:-0} + 1))
        if (($(rank "$target") > own)); then
            echo "$file:$line: $folder includes $target, which is above it" >&2
            faults=$((faults + 1))
        fi
    done < <(grep -HnoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[A-Za-z0-9_]+/' \
                 "$src/$folder"/*.h "$src/$folder"/*.cpp 2>/dev/null |
             sed -E 's/^([^:]*):([0-9]+):.*"([A-Za-z0-9_]+)\/$/\1:\2:\3/')
done

front_ends=(gui cli)
for folder in "${front_ends[@]}"; do
    while IFS=: read -r file line target; do
        case $target in
            "$folder" | app | services | platform) ;;
            *)
                echo "$file:$line: $folder includes $target: a front end goes through app/" >&2
                faults=$((faults + 1))
                ;;
        esac
    done < <(find "$src/$folder" -name '*.h' -o -name '*.cpp' | sort |
             xargs grep -HnoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[A-Za-z0-9_]+/' |
             sed -E 's/^([^:]*):([0-9]+):.*"([A-Za-z0-9_]+)\/$/\1:\2:\3/')
done

if [[ ${2:-} == --table ]]; then
    printf '%-10s' 'includes'
    printf '%10s' "${layers[@]}"
    echo
    for folder in "${layers[@]}"; do
        printf '%-10s' "$folder"
        for target in "${layers[@]}"; do printf '%10s' "${counts[$folder,$target]:-.}"; done
        echo
    done
fi

if ((faults > 0)); then
    echo "$faults include(s) against the order ${layers[*]} or past app/" >&2
    exit 1
fi
