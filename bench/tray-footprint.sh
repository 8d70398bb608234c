#!/usr/bin/env bash
# Map time and memory of the player against Goodvibes (when installed), in one
# run under Xvfb with a notification-area host, interleaved, RUNS starts each:
#   shown   the window opens at start; map = process start to window mapped
#   tray    started into the notification area (grootscherm=0 / --status-icon)
#   hidden  shown, then closed to the notification area by its close box
# PSS is summed over the whole process tree SETTLE seconds after the start
# (after the close for "hidden").
# vandrel-qt-floor, a bare Qt window shown from the same 200 ms timer as the
# player's start-up sequence, gives the floor of the map time in the same run.
# Usage: bench/tray-footprint.sh [build-dir]   (RUNS=5 SETTLE=10 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${RUNS:-5}
settle=${SETTLE:-10}

if [ -z "${VANDREL_BENCH_INNER:-}" ]; then
  export VANDREL_BENCH_INNER=1
  exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build"
fi
[ -x "$build/bin/vandrel-close-window" ] || { echo "tray-footprint: build the target vandrel-close-window" >&2; exit 2; }
for tool in xdotool trayer; do
  command -v "$tool" >/dev/null || { echo "tray-footprint: needs $tool" >&2; exit 2; }
done

work=$(mktemp -d)
children=()
cleanup() {
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

trayer --edge top --align right --widthtype pixel --width 160 --heighttype pixel --height 32 >/dev/null 2>&1 &
children+=($!)
"$build/bin/vandrel-directory" serve "$root/data/directory" --port 0 >"$work/directory.out" 2>/dev/null &
children+=($!)
for _ in $(seq 100); do grep -q 'listening on' "$work/directory.out" && break; sleep 0.1; done
base=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/directory.out" | head -1)
[ -n "$base" ] || { echo "tray-footprint: the directory did not start" >&2; exit 1; }

# A copy of the program folder, pointed at that directory.
prog="$work/program"
mkdir -p "$prog/favo"
cp "$build/bin/vandrel-radio" "$build/bin/lang.ini" "$build/bin"/def_*.skn "$prog/"
printf '[Directory]\nbase=%s\n' "$base" >"$prog/directory.ini"
write_settings() {  # grootscherm
  printf '[Online Radio]\nafspelen=0\ngrootscherm=%s\nxsluiten=0\n\n[Onthouden]\nVolume=50\nLaatsteLandNaam=Holland\nLaatsteLandbestand=holland.txt\n' \
    "$1" >"$prog/INST.INI"
}

# Goodvibes keeps its settings in a folder of its own; its close box hides.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
printf "[io/gitlab/Goodvibes/Ui]\nclose-action='close'\n" >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
export GSETTINGS_BACKEND=keyfile

tree() {  # pid: it and its descendants
  local all pids="$1" grown=1
  all=$(ps -e -o pid=,ppid=)
  while [ $grown = 1 ]; do
    grown=0
    for p in $(awk -v set=" $pids " 'index(set, " " $2 " ") && !index(set, " " $1 " ") {print $1}' <<<"$all"); do
      pids="$pids $p"; grown=1
    done
  done
  echo "$pids"
}
pss_kib() {
  local total=0 n=0 kib
  for p in $(tree "$1"); do
    kib=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || true)
    [ -n "$kib" ] && total=$((total + kib)) && n=$((n + 1))
  done
  echo "$total $n"
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
title_of() { case "$1" in vandrel) echo "Vandrel Internet Radio" ;; goodvibes) echo "Goodvibes" ;; qt-floor) echo "Qt floor" ;; esac; }
window_of() {  # pid title: its main window while mapped
  xdotool search --all --onlyvisible --pid "$1" --name "^$2\$" 2>/dev/null | head -1
}
wait_window() {  # pid title: prints the window once mapped, empty after 20 s
  local w="" until=$(($(now_ms) + 20000))
  while [ -z "$w" ] && [ "$(now_ms)" -lt "$until" ]; do w=$(window_of "$1" "$2"); [ -z "$w" ] && sleep 0.005; done
  echo "$w"
}
stop() {
  local pids
  pids=$(tree "$1")
  kill -TERM "$1" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL $pids 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

start() {  # player scenario
  case "$1" in
    vandrel)
      write_settings "$([ "$2" = tray ] && echo 0 || echo 1)"
      "$prog/vandrel-radio" >/dev/null 2>&1 & ;;
    qt-floor)
      "$build/bin/vandrel-qt-floor" >/dev/null 2>&1 & ;;
    goodvibes)
      if [ "$2" = tray ]; then goodvibes --status-icon >/dev/null 2>&1 & else goodvibes >/dev/null 2>&1 & fi ;;
  esac
}

players=(vandrel)
command -v goodvibes >/dev/null && players+=(goodvibes)
[ -x "$build/bin/vandrel-qt-floor" ] && players+=(qt-floor)
results="$work/results"
: >"$results"
for run in $(seq "$runs"); do
  for scenario in shown tray hidden; do
    for player in "${players[@]}"; do
      # The floor is a bare window: only its map time says something.
      [ "$player" = qt-floor ] && [ "$scenario" != shown ] && continue
      t0=$(now_ms)
      start "$player" "$scenario"
      pid=$!
      map=- w=""
      if [ "$scenario" != tray ]; then
        w=$(wait_window "$pid" "$(title_of "$player")")
        [ -n "$w" ] && map=$(($(now_ms) - t0))
      fi
      sleep "$settle"
      if [ "$scenario" = hidden ] && [ -n "$w" ]; then
        # Looked up again: a toolkit may replace its native window after mapping it.
        w=$(window_of "$pid" "$(title_of "$player")")
        [ -n "$w" ] && "$build/bin/vandrel-close-window" "$w" || true
        sleep "$settle"
        [ -n "$(window_of "$pid" "$(title_of "$player")")" ] && map="still-shown"
      fi
      read -r kib procs < <(pss_kib "$pid")
      kill -0 "$pid" 2>/dev/null || kib=gone
      echo "$player $scenario $run $map $kib $procs" >>"$results"
      echo "run $run: $player $scenario map=${map} ms pss=${kib} KiB processes=$procs" >&2
      stop "$pid"
    done
  done
done

# The table: map min/median/max, PSS median, processes; then the ratios.
awk -v players="${players[*]}" '
  function sort(a, n,   i, j, t) { for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j-1] > a[j]; j--) { t = a[j]; a[j] = a[j-1]; a[j-1] = t } }
  function median(a, n) { return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2 }
  { key = $1 " " $2
    if ($4 ~ /^[0-9]+$/) maps[key, ++nm[key]] = $4
    if ($5 ~ /^[0-9]+$/) { pss[key, ++np[key]] = $5; procs[key] = $6 } }
  END {
    printf "| scenario | player | map ms (min / median / max) | PSS MiB (median) | processes |\n|---|---|---|---|---|\n"
    split("shown tray hidden", scenarios, " "); split(players, who, " ")
    for (s = 1; s <= 3; s++) for (p in who) {
      key = who[p] " " scenarios[s]
      delete m; delete q
      for (i = 1; i <= nm[key]; i++) m[i] = maps[key, i]
      for (i = 1; i <= np[key]; i++) q[i] = pss[key, i]
      if (!nm[key] && !np[key]) continue
      sort(m, nm[key]); sort(q, np[key])
      mapText = nm[key] ? sprintf("%d / %d / %d", m[1], median(m, nm[key]), m[nm[key]]) : "-"
      medMap[key] = nm[key] ? median(m, nm[key]) : 0
      medPss[key] = np[key] ? median(q, np[key]) / 1024 : 0
      printf "| %s | %s | %s | %.1f | %s |\n", scenarios[s], who[p], mapText, medPss[key], procs[key]
    }
    if (length(who) < 2) exit
    printf "\nratios vandrel / goodvibes (medians):\n"
    for (s = 1; s <= 3; s++) {
      a = "vandrel " scenarios[s]; b = "goodvibes " scenarios[s]
      printf "  %-6s PSS %.2f", scenarios[s], medPss[b] ? medPss[a] / medPss[b] : 0
      if (medMap[b]) printf "  map %.2f", medMap[a] / medMap[b]
      printf "\n"
    }
    if (medMap["qt-floor shown"])
      printf "  shown  map vandrel / qt-floor %.2f (%+d ms over the floor)\n", medMap["vandrel shown"] / medMap["qt-floor shown"], medMap["vandrel shown"] - medMap["qt-floor shown"]
  }' "$results"
