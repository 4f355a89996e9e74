#!/usr/bin/env bash
# Hot keys held by the window manager: fluxbox, openbox and icewm in turn, each started as its
# users start it with its stock configuration (fluxbox writes ~/.fluxbox/keys on its first
# start; openbox reads /etc/xdg/openbox/rc.xml; icewm-session reads icewm's defaults), on an
# Xvfb and in a home of its own that velora shares; then the X11 tests of held keys
# (HeldKeys.*) of the build-asan tree under it, each test under a manager just started. Each
# test waits until the manager holds Alt+Tab before it starts (the manager has read its keys).
# Usage: scripts/conflicts-test.sh [build-dir] (VELORA_CONFLICT_WMS="fluxbox openbox icewm")
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}
managers=${VELORA_CONFLICT_WMS:-fluxbox openbox icewm}
command -v Xvfb >/dev/null || { echo "conflicts-test.sh: Xvfb is missing" >&2; exit 1; }
for wm in $managers; do
  program=$wm
  [ "$wm" = icewm ] && program=icewm-session
  command -v "$program" >/dev/null || { echo "conflicts-test.sh: $program is missing" >&2; exit 1; }
done

. scripts/xserver.sh
pids=()
homes=()
cleanup() {
  for p in "${pids[@]}"; do kill -- "$p" 2>/dev/null || true; done
  for h in "${homes[@]}"; do rm -rf "$h"; done
}
trap cleanup EXIT

# Each test gets a manager of its own, just started: openbox lets go of its keys and takes
# them again after some key presses, and a probe of the key (velora's retry, the test's own
# check) that falls into that moment keeps the manager from taking it back.
for wm in $managers; do
for test in KeysOfAShownSwitchUnderTheStockManagerNeverReachTheFocusedClient \
            StockWindowManagerIsNamedItsFreeButtonFreesAltTabAndVeloraTakesIt; do
  echo "== held keys under $wm (stock configuration): $test"
  home=$(mktemp -d)
  homes+=("$home")
  xserver_start Xvfb -screen 0 1280x800x24 || { echo "conflicts-test.sh: $xserver_failure" >&2; exit 1; }
  xvfb=$XSERVER_PID
  pids+=("$xvfb")
  export DISPLAY=$XSERVER_DISPLAY

  case $wm in
    icewm) HOME=$home setsid icewm-session >"$home/wm.log" 2>&1 & ;;
    *) HOME=$home setsid "$wm" >"$home/wm.log" 2>&1 & ;;
  esac
  session=$!
  pids+=("-$session")
  xserver_wait_for_manager "$session" ||
    { echo "conflicts-test.sh: $wm $xserver_failure" >&2; cat "$home/wm.log" >&2; exit 1; }

  VELORA_E2E_WM=$wm VELORA_E2E_WM_HOME=$home QT_QPA_PLATFORM=offscreen \
    dbus-run-session --config-file=tests/support/dbus-session.conf -- ctest --test-dir "$build" --output-on-failure --no-tests=error -R "^HeldKeys\.$test\$"
  # Waited out, then killed: fluxbox, asked to end while it still scans the screen at its
  # start, deadlocks in its signal handler (Xlib called from it) and never ends.
  xserver_stop "-$session"
  wait "$session" 2>/dev/null || true
  xserver_stop "$xvfb"
done
done
