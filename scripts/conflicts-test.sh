#!/usr/bin/env bash
# Hot keys held by the window manager: fluxbox started as its users start it, with its stock
# configuration (it writes ~/.fluxbox/keys, which binds Alt+Tab, on its first start), in a
# home of its own that velora shares; then the X11 tests of held keys (HeldKeys.*) of the
# build-asan tree. Usage: scripts/conflicts-test.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}
command -v Xvfb >/dev/null || { echo "conflicts-test.sh: Xvfb is missing" >&2; exit 1; }
command -v fluxbox >/dev/null || { echo "conflicts-test.sh: fluxbox is missing" >&2; exit 1; }

home=$(mktemp -d)
. scripts/xserver.sh
pids=()
trap 'xserver_stop "${pids[@]}"; rm -rf "$home"' EXIT
xserver_start Xvfb -screen 0 1280x800x24 || { echo "conflicts-test.sh: $xserver_failure" >&2; exit 1; }
pids+=("$XSERVER_PID")
export DISPLAY=$XSERVER_DISPLAY

HOME=$home fluxbox >"$home/fluxbox.log" 2>&1 &
pids+=($!)
claimed=""
for _ in $(seq 200); do
  if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && [ -s "$home/.fluxbox/keys" ]; then
    claimed=1; break
  fi
  sleep 0.05
done
[ -n "$claimed" ] || { echo "conflicts-test.sh: fluxbox did not start with its stock keys on $DISPLAY" >&2; exit 1; }

export VELORA_E2E_WM_HOME=$home
export QT_QPA_PLATFORM=offscreen
dbus-run-session -- ctest --test-dir "$build" --output-on-failure -R '^HeldKeys\.'
