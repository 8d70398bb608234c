#!/bin/sh
# Runs a command on a virtual display of its own with a notification-area host, so tests of the tray neither need
# nor disturb the shared display. With TRAY_HOST_DELAY (seconds) the host starts that long after the command.
export VANDREL_TRAY_HOST=1
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  sleep "${TRAY_HOST_DELAY:-0}" && trayer --edge top --align right --widthtype pixel --width 160 --heighttype pixel --height 32 \
    --transparent false --tint 0x16324f >/dev/null 2>&1 &
  host=$!
  "$@"; status=$?
  kill $host 2>/dev/null; exit $status' sh "$@"
