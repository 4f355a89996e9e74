#!/usr/bin/env bash
# The window-manager matrix: under each manager, started one after the other as its users
# start it (scripts/wm-matrix/session.sh), one velora session runs what users do most
# (tests/e2e/window_manager_test.cpp): the manager's own bindings told and then freed while
# velora runs, quick and held switches in the three modes, a switch
# ended with the pointer where the panel was, Escape, a command key, typing outside a switch,
# and no complaint in the manager's log. The managers with a sloppy focus are run once more
# with it switched on, for the pointer check alone.
#   scripts/test-wm-matrix.sh [BUILD_DIR]     (default build-asan; VELORA_WM_MATRIX picks managers)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}
tests=$build/tests/e2e/velora_e2e_tests
[ -x "$tests" ] || { echo "test-wm-matrix: $tests is not built" >&2; exit 1; }
read -r -a runs <<<"${VELORA_WM_MATRIX:-openbox fluxbox xfwm4 i3 icewm kwin marco mutter openbox-sloppy fluxbox-sloppy xfwm4-sloppy}"

package() {
  case "$1" in
    openbox|fluxbox|xfwm4|icewm|marco|mutter) echo "$1" ;;
    i3) echo i3-wm ;;
    kwin) echo kwin-x11 ;;
  esac
}

echo "== the end-to-end subset under each window manager as its users run it"
failed=()
out=$(mktemp)
for run in "${runs[@]}"; do
  wm=${run%-sloppy}
  filter='UnderTheWindowManager.SwitchesCommandsAndTypingWorkAndTheManagerHasNoComplaint'
  [ "$wm" != "$run" ] && filter='UnderTheWindowManager.FocusFollowingTheMouseNeverBeatsTheSelection'
  version=$(dpkg-query -W -f='${Version}' "$(package "$wm")" 2>/dev/null || echo "not installed")
  start=$(date +%s)
  if timeout 300 dbus-run-session -- scripts/wm-matrix/session.sh "$run" "$tests" --gtest_filter="$filter" >"$out" 2>&1 &&
     grep -q '^\[  PASSED  \] 1 test' "$out"; then
    result=passed
  else
    result=FAILED
    failed+=("$run")
    cat "$out"
  fi
  echo "== $run ($version): $result in $(($(date +%s) - start)) s"
done
rm -f "$out"
if [ ${#failed[@]} -gt 0 ]; then
  echo "test-wm-matrix: failed under ${failed[*]}" >&2
  exit 1
fi
