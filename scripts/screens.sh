#!/usr/bin/env bash
# The panel on desktops other than one plain screen, each started here for its own tests
# (tests/e2e/screens_test.cpp, which names them in VELORA_SCREENS_DESKTOP):
#   two-monitors  Xorg with the dummy driver, two 1280x800 monitors side by side (needs root)
#   hidpi         Xvfb 2560x1600 with Xft.dpi: 192, then again with QT_SCALE_FACTOR=2
# (The compositor test starts picom itself and runs with the other X11 tests.)
# Runs the tests of an existing sanitizer tree (build-asan, or the directory given).
# With VELORA_COMPOSITOR set, runs the compositor test alone, under that compositor:
#   picom  started by the test on Xvfb under openbox, as in the X11 tests
#   xfwm4  xfwm4's own, with its stock settings (scripts/wm-matrix/session.sh starts it)
#   kwin   KWin's own (kwin_x11), with its stock settings, likewise
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
tree=${1:-build-asan}

packages=(xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run() {  # the test $2 on the desktop named $1 (DISPLAY set)
  echo "== screens: $1${3:+ ($3)}"
  VELORA_SCREENS_DESKTOP=$1 dbus-run-session --config-file=tests/support/dbus-session.conf -- ctest --test-dir "$tree" --output-on-failure --no-tests=error -R "^Screens\\.$2"
}

# A plain Xvfb screen of the given size with openbox.
xvfb() {
  xserver_start Xvfb -screen 0 "${1}x24" +extension Composite +extension RANDR ||
    { echo "screens.sh: $xserver_failure" >&2; exit 1; }
  pids+=("$XSERVER_PID")
  export DISPLAY=$XSERVER_DISPLAY
  openbox --config-file "$root/scripts/desktop/openbox-rc.xml" >/dev/null 2>&1 & pids+=($!)  # absolute: openbox reads it after leaving the working folder
  xserver_wait_for_manager "${pids[-1]}" || { echo "screens.sh: openbox $xserver_failure" >&2; exit 1; }
}
. scripts/xserver.sh
pids=()
stop() { xserver_stop "${pids[@]}"; pids=(); }

compositorTest=UnderACompositorTheCornersShowTheWindowBehindAndThePlateIsTranslucent
case "${VELORA_COMPOSITOR:-}" in
  "") ;;
  picom)
    trap stop EXIT
    xvfb 1280x800
    run composited "$compositorTest" picom
    exit ;;
  xfwm4 | kwin)
    # The manager as its users start it; the keys it holds (Alt-Tab among them) are freed
    # the way its users are told to before velora starts.
    echo "== screens: composited ($VELORA_COMPOSITOR)"
    export VELORA_COMPOSITOR
    exec scripts/wm-matrix/session.sh "$VELORA_COMPOSITOR" bash -c '
      ${VELORA_WM_FREE_KEYS:-:}
      status=0
      dbus-run-session --config-file=tests/support/dbus-session.conf -- \
        ctest --test-dir "$1" --output-on-failure --no-tests=error -R "^Screens\.$2" || status=$?
      [ $status = 0 ] || { echo "== the manager'"'"'s log:"; cat "$VELORA_WM_LOG"; }
      exit $status' screens "$tree" "$compositorTest" ;;
  *) echo "screens.sh: VELORA_COMPOSITOR is picom, xfwm4 or kwin, not $VELORA_COMPOSITOR" >&2; exit 2 ;;
esac

trap 'stop; scripts/desktop/two-monitors.sh stop' EXIT

eval "$(scripts/desktop/two-monitors.sh start openbox)"
run two-monitors ThePanelShowsWhollyOnTheMonitorOfTheFocusedWindow
scripts/desktop/two-monitors.sh stop
unset VELORA_DESKTOP_PIDS VELORA_DESKTOP_DIR

xvfb 2560x1600
echo "Xft.dpi: 192" | xrdb -merge
run hidpi OnAScaledDesktop "Xft.dpi: 192"
stop
xvfb 2560x1600
QT_SCALE_FACTOR=2 run hidpi OnAScaledDesktop "QT_SCALE_FACTOR=2"
stop
