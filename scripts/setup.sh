#!/usr/bin/env bash
# Installs the Debian packages the player and the directory need to build and
# run; with --tests also the test partners and the test and benchmark
# libraries; with --bench as well the other radio players the benchmarks
# measure against. Quick when all are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-svg-dev liblitehtml-dev
  libmpv-dev libmicrohttpd-dev libssl-dev zlib1g-dev nlohmann-json3-dev libuchardet-dev
  fonts-dejavu-core fonts-liberation2
  # A virtual display when there is no desktop (run.sh), the session bus for media keys.
  xvfb xauth dbus dbus-x11
)
if [ "${1:-}" = "--tests" ] || [ "${1:-}" = "--bench" ]; then
  PACKAGES+=(
    googletest libgtest-dev libgmock-dev libbenchmark-dev libglib2.0-dev libcpp-httplib-dev
    trayer openbox xdotool x11-utils desktop-file-utils appstream
    icecast2 ffmpeg curl playerctl pulseaudio pulseaudio-utils openssl nginx apache2-utils
  )
fi
if [ "${1:-}" = "--bench" ]; then
  PACKAGES+=(goodvibes strawberry)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
