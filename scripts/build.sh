#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (shared by run.sh and test.sh).
# Usage: build.sh [--program]. --program builds only what the installed program needs (the
# program with its table and help files, and the updater where the build has one); without it
# everything is built, tests and benchmarks too. PELMORAS_WERROR=ON makes warnings errors (CI).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="${PELMORAS_PREFIX:-/opt/pelmoras}" \
  ${PELMORAS_WERROR:+-DPELMORAS_WERROR=$PELMORAS_WERROR}
targets=()
if [ "${1:-}" = "--program" ]; then
  targets=(--target pelmoras)
  # The updater is a program of its own where this version has one.
  if cmake --build build --target help | grep -q '^pelmoras-update:'; then targets+=(pelmoras-update); fi
fi
cmake --build build --parallel "$(nproc)" "${targets[@]}"
