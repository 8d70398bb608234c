#!/usr/bin/env bash
# Configures and builds into build/ (shared by run.sh and test.sh).
#   build.sh          the player and the directory server, what run.sh starts
#   build.sh --all    everything, the tests and benchmarks too
set -euo pipefail
cd "$(dirname "$0")/.."
options=()
[ -f build/CMakeCache.txt ] || options=(-G Ninja)
targets=(--target vandrel-radio vandrel-directory)
if [ "${1:-}" = "--all" ]; then
  options+=(-DVANDREL_BUILD_TESTS=ON -DVANDREL_BUILD_BENCH=ON)
  targets=()
elif [ ! -f build/CMakeCache.txt ]; then
  # Without the test packages; a later --all turns them on.
  options+=(-DVANDREL_BUILD_TESTS=OFF -DVANDREL_BUILD_BENCH=OFF)
fi
cmake -S . -B build "${options[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" "${targets[@]}"
