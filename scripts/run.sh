#!/usr/bin/env bash
# The main job: builds Velora and runs it.
# - With WAYLAND_DISPLAY set: runs velora on your Wayland session (sway; see docs/wayland.md)
#   until you quit it.
# - With DISPLAY set: runs velora on that display (your desktop) until you quit it.
# - Without a display: starts a throwaway desktop (Xvfb, openbox, a few sample windows), runs
#   velora there with settings of its own (a first start), performs a short switch with the
#   keyboard (Alt-Tab, held until the panel shows, then released) and leaves screenshots in
#   out/ (panel.png with the panel up, after-switch.png). Ends with 1 when the switch did not
#   change the active window.
# - `scripts/run.sh --sway` without a display: the same demo on a headless sway with foot
#   terminals (scripts/run-sway.sh): out/panel-sway.png, out/after-switch-sway.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build -DVELORA_BUILD_TESTS=OFF
mkdir -p out

if [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${DISPLAY:-}" ]; then
  exec build/velora "$@"
fi
if [ "${1:-}" = --sway ]; then
  exec scripts/run-sway.sh build
fi

eval "$(scripts/desktop.sh start openbox)"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  scripts/desktop.sh stop
  rm -rf "$work"
}
trap cleanup EXIT
# A home of its own: a first start with the first-run settings, nothing of yours touched.
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"

# Waits up to 20 s for a shell condition to hold; it is evaluated afresh each time.
wait_for() { for _ in $(seq 200); do eval "$1" && return 0; sleep 0.1; done; return 1; }
velora_windows() { wmctrl -lp | awk -v p="$vpid" '$3 == p {print $1}'; }
active() { xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}'; }
window_of() { wmctrl -l | awk -v t="$1" '$NF == t {print $1; exit}'; }
# The switch panel: a window "Velora" straight on the root (no manager's frame), mapped.
panel_shown() {
  for w in $(xwininfo -root -children | awk '/"Velora":/ {print $1}'); do
    xwininfo -id "$w" | grep -q IsViewable && return 0
  done
  return 1
}

xterm -title Terminal -geometry 72x20+700+60 -e sh -c 'printf "$ make\nbuilding velora ...\ndone\n$ "; exec cat >/dev/null' >/dev/null 2>&1 &
pids+=($!)
xterm -title Notes -bg lightyellow -fg black -geometry 60x16+40+380 \
  -e sh -c 'printf "To do\n  - try Alt-Tab\n  - try Super-Tab\n"; exec cat >/dev/null' >/dev/null 2>&1 &
pids+=($!)
xclock -geometry 180x180+60+40 >/dev/null 2>&1 & pids+=($!)
xeyes -geometry 200x130+1040+620 >/dev/null 2>&1 & pids+=($!)
wait_for '[ "$(wmctrl -l | wc -l)" -ge 4 ]'

build/velora >out/velora.log 2>&1 &
vpid=$!
pids+=($vpid)
# A first start opens the preferences with a welcome note; close both (the note first).
if ! wait_for '[ -n "$(velora_windows)" ]'; then
  echo "velora: the program did not come up:"; cat out/velora.log
  exit 1
fi
wait_for 'for w in $(velora_windows | tac); do wmctrl -ic "$w"; sleep 0.3; done; [ -z "$(velora_windows)" ]'
echo "velora: throwaway desktop on $DISPLAY with $(wmctrl -l | wc -l) windows:"
wmctrl -l | sed 's/^/  /'

# Terminal, then Notes: Notes is active and Terminal is the most recent other window.
for t in Terminal Notes; do
  w=$(window_of $t); xdotool windowactivate "$w"
  wait_for '[ "$(active)" = "$(printf "0x%x" "$w")" ]'; sleep 0.7
done
before=$(active)
# Alt-Tab: hold Alt, press Tab, keep holding past the display delay so the panel shows.
xdotool keydown alt key Tab
if wait_for panel_shown; then
  sleep 1 # the window pictures arrive in the background
else
  echo "velora: no panel came up"
fi
import -window root out/panel.png
xdotool keyup alt
wait_for '[ "$(active)" != "$before" ]' || true
after=$(active)
import -window root out/after-switch.png
echo "velora: active window before $before ($(xprop -id "$before" WM_NAME | cut -d'"' -f2)), after the switch $after ($(xprop -id "$after" WM_NAME | cut -d'"' -f2))"
echo "velora: screenshots in out/panel.png and out/after-switch.png, log in out/velora.log"
[ "$before" != "$after" ]
