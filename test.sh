#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (GUI tests on a virtual display).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh --tests
./scripts/build.sh --all
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir build --output-on-failure -j2 --timeout 300
