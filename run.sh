#!/usr/bin/env bash
# Installs what is missing, builds, starts the local station directory and the player.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
./scripts/build.sh

port=8470
server_pid=""
if ! (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; then
  build/bin/vandrel-directory serve data/directory --host 127.0.0.1 --port $port 2>build/vandrel-directory.log &
  server_pid=$!
  trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null' EXIT
  for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break
    sleep 0.1
  done
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no desktop display found; starting the player on a virtual display (xvfb-run)" >&2
  xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/vandrel-radio
else
  build/bin/vandrel-radio
fi
