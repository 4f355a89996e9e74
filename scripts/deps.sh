#!/usr/bin/env bash
# Installs what building, running and testing Velora needs on Debian 12, through apt-get
# (with sudo when not root). Installs only what is missing.
set -euo pipefail

packages=(
  git build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format clang-tidy
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6
  libxcb1-dev libxcb-composite0-dev libxcb-damage0-dev libxcb-xinput-dev
  libxcb-res0-dev libxcb-xkb-dev libxcb-xtest0-dev
  libxkbcommon-dev libxkbcommon-x11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb openbox fluxbox xterm x11-apps x11-utils x11-xkb-utils picom wmctrl xdotool libxres1 libxtst6
  fonts-dejavu-core dbus dbus-x11 imagemagick python3
  libwayland-dev libwayland-bin wayland-protocols sway foot wtype grim
  # Qt's windows on Wayland, and the beep there (the sound theme through libcanberra).
  qt6-wayland libcanberra0 sound-theme-freedesktop
  # The package check (scripts/test-package.sh) and the tray tests.
  trayer lintian desktop-file-utils appstream man-db groff-base file debootstrap
  # The window-manager matrix (scripts/test-wm-matrix.sh): each manager with what its
  # desktop starts beside it (settings on the session bus, schemas, global shortcuts).
  i3-wm icewm xfwm4 xfconf libxfce4ui-common kwin-x11 libkf5globalaccel-bin
  marco mate-settings-daemon-common mutter gsettings-desktop-schemas
  dconf-service dconf-gsettings-backend libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "velora: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The wlroots protocol files (foreign toplevels, layer shell, screencopy) are in no binary
# package; Debian's wlroots source package carries them. It is fetched with a private apt
# state whose deb-src entries mirror the machine's own sources, so the system's apt
# configuration stays as it is. The build extracts the files it needs from the tarball.
"$(dirname "$0")/fetch-wlroots-source.sh"
