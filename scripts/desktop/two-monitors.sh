#!/usr/bin/env bash
# A desktop of two 1280x800 monitors side by side (DUMMY0 primary at 0,0, DUMMY1 at 1280,0)
# that Qt sees as two screens: Xorg with the dummy video driver and RandR outputs. Needs root
# (Xorg) and the packages xserver-xorg-core, xserver-xorg-video-dummy, x11-xserver-utils.
#   two-monitors.sh start WM   prints shell lines to eval (DISPLAY, VELORA_DESKTOP_PIDS)
#   two-monitors.sh stop       ends what start began
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

start() {
  local wm=${1:-openbox}
  local dir; dir=$(mktemp -d)
  cat > "$dir/xorg.conf" <<'CONF'
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2560 800
  EndSubSection
EndSection
CONF
  . "$here/../xserver.sh"
  if ! xserver_start Xorg -config "$dir/xorg.conf" -logfile "$dir/Xorg.log"; then
    echo "two-monitors.sh: $xserver_failure (Xorg with the dummy driver needs root; see $dir/Xorg.log)" >&2; exit 1
  fi
  local pids=("$XSERVER_PID") n=${XSERVER_DISPLAY#:}
  export DISPLAY=":$n"
  xrandr --newmode "1280x800_60" 83.50 1280 1352 1480 1680 800 803 809 831 -hsync +vsync
  xrandr --addmode DUMMY0 1280x800_60
  xrandr --addmode DUMMY1 1280x800_60
  xrandr --output DUMMY0 --mode 1280x800_60 --pos 0x0 --primary --output DUMMY1 --mode 1280x800_60 --pos 1280x0
  if [ "$(xrandr --listactivemonitors | head -n1)" != "Monitors: 2" ]; then
    xserver_stop "${pids[@]}"
    echo "two-monitors.sh: the server does not show two monitors (see $dir/Xorg.log)" >&2; exit 1
  fi
  case "$wm" in
    openbox) openbox --config-file "$here/openbox-rc.xml" >/dev/null 2>&1 & pids+=($!) ;;
    none) ;;
    *) echo "two-monitors.sh: unknown window manager $wm" >&2; exit 2 ;;
  esac
  if [ "$wm" != none ] && ! xserver_wait_for_manager "${pids[-1]}"; then
    xserver_stop "${pids[@]}"; echo "two-monitors.sh: $wm $xserver_failure" >&2; exit 1
  fi
  echo "export DISPLAY=:$n"
  echo "export VELORA_DESKTOP_PIDS='${pids[*]}'"
  echo "export VELORA_DESKTOP_WM=$wm"
  echo "export VELORA_DESKTOP_DIR=$dir"
}

stop() {
  . "$here/../xserver.sh"
  # shellcheck disable=SC2086
  xserver_stop ${VELORA_DESKTOP_PIDS:-}
  case "${VELORA_DESKTOP_DIR:-}" in /tmp/*) rm -rf "$VELORA_DESKTOP_DIR" ;; esac
}

cmd=${1:-}; shift || true
case "$cmd" in
  start) start "$@" ;;
  stop) stop ;;
  *) echo "usage: $0 start [openbox|none] | stop" >&2; exit 2 ;;
esac
