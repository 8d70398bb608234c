#!/bin/sh
# Runs a command on a virtual display of its own under a real window manager (openbox), which frames, places and
# maximizes windows as a desktop does; the shared display has none.
exec xvfb-run -a -s "-screen 0 ${WM_SCREEN:-1280x1024}x24" sh -c '
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  for i in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.05; done
  "$@"; status=$?
  kill $wm 2>/dev/null; exit $status' sh "$@"
