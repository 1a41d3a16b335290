#!/usr/bin/env bash
# Fails when a C++ source file is not formatted to the checked-in .clang-format; lists each such
# file. Usage: check-format.sh [source root]. Fix with: clang-format -i FILE.
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"
command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 1; }
bad=0
while IFS= read -r file; do
    if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
        echo "$file: not formatted (clang-format -i $file)"
        bad=$((bad + 1))
    fi
done < <(find platform payroll print services app tools tests bench -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
if ((bad)); then
    echo "$bad file(s) not formatted" >&2
    exit 1
fi
echo "format: every file follows .clang-format"
