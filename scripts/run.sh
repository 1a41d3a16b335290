#!/usr/bin/env bash
# Installs what is missing, builds the program (not the tests: scripts/test.sh builds those),
# installs it into its program folder and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh --program
prefix="${PELMORAS_PREFIX:-/opt/pelmoras}"
SUDO=""
if ! mkdir -p "$prefix" 2>/dev/null || [ ! -w "$prefix" ]; then SUDO="sudo"; fi
$SUDO cmake --install build --prefix "$prefix"
exec "$prefix/pelmoras" "$@"
