#!/usr/bin/env bash
# Installs what building, running and testing Velora needs on Debian 12, through apt-get
# (with sudo when not root). Installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format clang-tidy
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6
  libplist-dev libcurl4-openssl-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-composite0-dev libxcb-xinput-dev
  libxcb-res0-dev libxcb-xkb-dev libxcb-xtest0-dev libxcb-image0-dev
  libxkbcommon-dev libxkbcommon-x11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb openbox fluxbox xterm x11-apps x11-utils x11-xkb-utils picom wmctrl xdotool libxres1 libxtst6
  fonts-dejavu-core dbus dbus-x11 imagemagick python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "velora: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
