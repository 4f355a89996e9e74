#!/usr/bin/env bash
# The main job: builds Velora and runs it.
# - With DISPLAY set: runs velora on that display (your desktop) until you quit it.
# - Without a display: starts a throwaway desktop (Xvfb, openbox, a few sample windows), runs
#   velora there, performs a short switch with the keyboard (Alt-Tab, held until the panel shows,
#   then released) and leaves screenshots in out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build -DVELORA_BUILD_TESTS=OFF
mkdir -p out

if [ -n "${DISPLAY:-}" ]; then
  exec build/velora "$@"
fi

eval "$(scripts/desktop.sh start openbox)"
cleanup() { [ -n "${vpid:-}" ] && kill "$vpid" 2>/dev/null; scripts/desktop.sh stop; }
trap cleanup EXIT
export XDG_CONFIG_HOME; XDG_CONFIG_HOME=$(mktemp -d)
for c in "xterm -title Terminal" "xclock" "xeyes" "xterm -title Notes -bg lightyellow -fg black"; do
  $c >/dev/null 2>&1 &
done
sleep 1.5
echo "velora: throwaway desktop on $DISPLAY with $(wmctrl -l | wc -l) windows:"
wmctrl -l | sed 's/^/  /'

build/velora >out/velora.log 2>&1 &
vpid=$!
sleep 2
if ! kill -0 "$vpid" 2>/dev/null; then
  echo "velora: the program ended early:"; cat out/velora.log
  exit 1
fi
before=$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')
# Alt-Tab: hold Alt, press Tab, keep holding past the display delay so the panel shows.
xdotool keydown alt key Tab
sleep 0.8
import -window root out/panel.png
xdotool keyup alt
sleep 0.5
after=$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')
import -window root out/after-switch.png
echo "velora: active window before $before, after the switch $after"
echo "velora: screenshots in out/panel.png and out/after-switch.png, log in out/velora.log"
