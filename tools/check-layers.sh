#!/usr/bin/env bash
# Fails when a source file includes a header of a layer it must not see. The folders are layers,
#   platform <- payroll <- print, services <- app
# (print and services side by side, neither sees the other; the table builder in tools/ sits on
# payroll), and in every folder the windows under ui/ sit above its core: a core file (not under
# a ui/ folder, and not one of the app's windows at the top of app/) never includes a ui/ header.
# Usage: check-layers.sh [source root]; lists each offending include and exits 1 when there is one.
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

# The folders each folder may include.
declare -A allowed=(
    [platform]="platform"
    [payroll]="platform payroll"
    [print]="platform payroll print"
    [services]="platform payroll services"
    [app]="platform payroll print services app"
    [tools]="platform payroll tools"
)
# Folders of the source tree that an include can name; any of them outside the list above is a
# violation (product code never includes tests/ or bench/).
known=" platform payroll print services app tools tests bench "

violations=0
while IFS= read -r file; do
    folder="${file%%/*}"
    core=1
    [[ "/$file" == */ui/* ]] && core=0
    [[ "$file" == app/* && "$file" != app/*/* ]] && core=0  # the app's windows
    while IFS=: read -r line header; do
        target="${header%%/*}"
        [[ "$header" == */* && "$known" == *" $target "* ]] || continue
        why=""
        if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
            why="$folder/ does not see $target/"
        elif ((core)) && [[ "/$header" == */ui/* ]]; then
            why="a core file includes a window header"
        fi
        if [[ -n "$why" ]]; then
            echo "$file:$line: includes \"$header\": $why"
            violations=$((violations + 1))
        fi
    done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/; T; =; p' "$file" | paste -d: - -)
done < <(find "${!allowed[@]}" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

if ((violations)); then
    echo "$violations include(s) against the layers" >&2
    exit 1
fi
echo "layers: every include runs downward"
