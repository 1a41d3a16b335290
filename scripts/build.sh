#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (shared by run.sh and test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="${PELMORAS_PREFIX:-/opt/pelmoras}"
cmake --build build --parallel "$(nproc)"
