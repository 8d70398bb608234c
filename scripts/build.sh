#!/usr/bin/env bash
# Configures and builds into build/ (shared by run.sh and test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
[ -f build/CMakeCache.txt ] || generator=(-G Ninja)
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
