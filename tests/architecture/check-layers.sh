#!/usr/bin/env bash
# The core's folders form one stack, each including only itself and the folders below it:
#   services <- texts <- link <- transfer <- panel <- app
# Fails, naming the file and the line, when a core file includes a folder above its own (which
# is also what any cycle between folders needs), or the adapters, the window or the command line.
# The front ends (the window gui/, tolvan-flash cli/) reach the core only through app/ (the
# session) and services/ (the interfaces and the drawn controls), and include platform/ only to
# wire the program together.
# The core is the same on every system: none of its files includes a POSIX, X11 or Windows header;
# those belong to the adapters in platform/, whose folders posix/ and win32/ each hold one
# system's, so that a file there includes neither the other system's folder nor its headers, and
# a file beside them (built everywhere) includes neither folder.
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

# The system headers of each platform, as they appear between the angle brackets.
posix_headers='(unistd|fcntl|termios|poll|netdb|dirent|pwd|grp|dlfcn|pthread|sys/[^>]*|arpa/[^>]*|netinet/[^>]*|linux/[^>]*|X11/[^>]*)\.h'
# What Windows' own C library also has (fcntl.h, sys/stat.h, sys/types.h) is no POSIX sign there.
posix_only_headers='(unistd|termios|poll|netdb|dirent|pwd|grp|dlfcn|pthread|sys/(socket|ioctl|select|mman|un|wait|epoll|inotify|file|uio|time|resource|sysmacros)|arpa/[^>]*|netinet/[^>]*|linux/[^>]*|X11/[^>]*)\.h'
win32_headers='([Ww]indows|[Ww]inbase|[Ww]insock2?|[Ww]s2tcpip|[Ww]inreg|[Ww]inuser|[Aa]clapi|[Ss]hlobj|[Ss]hellapi|[Hh]tmlhelp|[Ii]o|[Dd]irect|[Pp]rocess|[Ss]etupapi|[Dd]evguid|[Ww]inioctl)\.h'
system_includes() {  # file:line:header for each <header> matching $2 in the files $1...
    local pattern=$1
    shift
    (($# > 0)) || return 0
    grep -HnoE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<$pattern>" "$@" |
        sed -E 's/^([^:]*):([0-9]+):.*<([^>]*)>$/\1:\2:\3/'
}
for folder in "${layers[@]}"; do
    while IFS=: read -r file line header; do
        echo "$file:$line: $folder includes <$header>: the core goes through services/" >&2
        faults=$((faults + 1))
    done < <(system_includes "($posix_headers|$win32_headers)" "$src/$folder"/*.h \
                 "$src/$folder"/*.cpp 2>/dev/null)
done

# platform/: one system's adapters in posix/ and win32/, the ones built everywhere beside them.
platform_files() { find "$src/platform" "$@" \( -name '*.h' -o -name '*.cpp' \) | sort; }
check_platform() {  # $1 the folder, $2 the folders it may not include, $3 the headers it may not
    local folder=$1 banned=$2 headers=$3 file line target name=platform/$1
    local -a files
    if [[ $folder == . ]]; then
        name=platform
        mapfile -t files < <(platform_files -maxdepth 1)
    else
        [[ -d $src/platform/$folder ]] || return 0
        mapfile -t files < <(platform_files -path "$src/platform/$folder/*")
    fi
    ((${#files[@]} > 0)) || return 0
    while IFS=: read -r file line target; do
        echo "$file:$line: $name includes $target, another system's folder" >&2
        faults=$((faults + 1))
    done < <(grep -HnoE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"platform/($banned)/" "${files[@]}" |
             sed -E 's/^([^:]*):([0-9]+):.*"(platform\/[a-z0-9]+)\/$/\1:\2:\3/')
    [[ -n $headers ]] || return 0
    while IFS=: read -r file line header; do
        echo "$file:$line: $name includes <$header>, another system's header" >&2
        faults=$((faults + 1))
    done < <(system_includes "$headers" "${files[@]}")
}
check_platform posix win32 "$win32_headers"
check_platform win32 posix "$posix_only_headers"
check_platform . 'posix|win32' ''

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
    echo "$faults include(s) against the order ${layers[*]}, past app/ or of another system" >&2
    exit 1
fi
