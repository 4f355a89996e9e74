#!/usr/bin/env bash
# End-to-end tests of the Wayland backend without sway's IPC, as on wlroots compositors that
# take no key bindings from programs (wayfire, labwc, niri, river, Hyprland): the hot keys
# are the compositor's own bindings running `velora --trigger NAME`, windows come from the
# foreign toplevels alone and are grouped into applications by app_id.
#   scripts/test-wayland-trigger.sh [BUILD_DIR]     (default build-asan; the tree must be built)
# The compositor is a headless sway whose socket the program is not told (no SWAYSOCK), with
# the trigger bindings in its configuration; sway's tree stays the test's truth. (Debian 12's
# wayfire 0.7.4 cannot run headless without a DRM device: docs/wayland.md.)
# With VELORA_UPDATE_DOCS_IMAGES=1 the panel's screenshot replaces docs/images/panel-trigger.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}

stage=test-wayland-trigger
# The lines docs/wayland.md shows for sway without its IPC, with the program where the test
# put it.
sway_config_extra='
bindsym --no-repeat Mod4+Tab exec @WORK@/velora --trigger applications
bindsym --no-repeat Mod4+Shift+Tab exec @WORK@/velora --trigger applications-backward
bindsym --no-repeat Mod1+Tab exec @WORK@/velora --trigger windows
bindsym --no-repeat Mod1+Shift+Tab exec @WORK@/velora --trigger windows-backward
bindsym --no-repeat Mod1+grave exec @WORK@/velora --trigger application-windows
bindsym --no-repeat Mod1+Shift+grave exec @WORK@/velora --trigger application-windows-backward'
# shellcheck source=scripts/wayland/session.sh
source scripts/wayland/session.sh

# --- a compositor with only the core protocols (as GNOME and KDE Plasma look to a client):
# refused with one line naming where velora works, status 1
python3 scripts/wayland/bare-compositor.py "$work/bare.sock" &
pids+=($!)
wait_for '[ -S "$work/bare.sock" ]' 10 || fail "the bare compositor did not start"
chmod 777 "$work/bare.sock"
status=0
as_user env -u SWAYSOCK WAYLAND_DISPLAY="$work/bare.sock" "$work/velora" >"$out/refused.log" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "FAIL velora on a compositor without the wlr protocols ended with status $status, expected 1"
grep -q "^velora: this Wayland compositor lacks what velora needs: wlr-foreign-toplevel-management wlr-layer-shell; velora works on X11" \
  "$out/refused.log" || fail "FAIL the refusal says: $(cat "$out/refused.log")"
echo "ok   a compositor without the wlr protocols: one clear line, status 1"

# --- the trigger without a running program, or with a name it does not know
status=0
as_user "$work/velora" --trigger windows >"$out/alone.log" 2>&1 || status=$?
[ "$status" -eq 1 ] && grep -q "^velora: no velora runs on this display" "$out/alone.log" ||
  fail "FAIL a trigger with no velora running: status $status, $(cat "$out/alone.log")"
status=0
as_user "$work/velora" --trigger sideways >"$out/unknown.log" 2>&1 || status=$?
[ "$status" -eq 2 ] && [ "$(wc -l <"$out/unknown.log")" -eq 1 ] ||
  fail "FAIL an unknown trigger name: status $status, $(cat "$out/unknown.log")"
echo "ok   a trigger with no velora running, or with an unknown name: one line, status 1 or 2"

# Terminals: alpha and beta, each an application of its own app_id; gamma1 and gamma2 share
# foot's own app_id (one application with two windows).
for t in alpha beta; do
  as_user foot -a "$t" -D "$home" -T "$t" >/dev/null 2>&1 &
  pids+=($!)
  wait_for "has_window $t" 20 || fail "foot $t did not show"
done
for t in gamma1 gamma2; do
  as_user foot -D "$home" -T "$t" >/dev/null 2>&1 &
  pids+=($!)
  wait_for "has_window $t" 20 || fail "foot $t did not show"
done

# --- the program, without SWAYSOCK
session_env+=(VELORA_WAYLAND_TRACE=1)
: >"$trace"
as_user env -u SWAYSOCK VELORA_TRACE_FD=3 "$work/velora" >"$out/velora.log" 2>&1 3>>"$trace" &
velora_pid=$!
pids+=($velora_pid)
running() { kill -0 "$velora_pid" 2>/dev/null || fail "velora ended: $(tail -5 "$out/velora.log")"; }
wait_marks hotkeys 1 60 || { running; fail "velora did not register its hot keys"; }
grep -q "^velora: this compositor takes no key bindings from programs" "$out/velora.log" ||
  fail "FAIL no line at start saying the keys come from the compositor's bindings"
# The first run's welcome alert and preferences: Return answers the alert, Ctrl+W closes them.
wait_for 'titles | grep -x Velora >/dev/null && [ "$(focused_app)" = velora ]' 20 ||
  fail "the welcome alert did not show (focused: '$(focused)')"
keys -k Return
wait_for '! titles | grep -x Velora >/dev/null && [ "$(focused_app)" = velora ]' 20 || fail "the welcome alert did not close"
lines=$(wc -l <"$trace")
keys -M ctrl -k w -m ctrl
wait_for '[ -z "$(app_rect velora)" ]' 20 || fail "Ctrl+W did not close the preferences"
wait_for '[ -n "$(tail -n +$((lines + 1)) "$trace" | grep "^recent:")" ]' 20 || fail "velora did not poll the focus"
window_mark[$(focused)]=$(last_recent)
echo "ok   velora runs without sway's IPC and says where its keys come from"

# --- switches through the compositor's bindings
use_in_order gamma2 gamma1 beta alpha
keys -M alt -k Tab -m alt
expect_focus "quick Alt-Tab by trigger: the previous window" beta

use_in_order gamma2 gamma1 beta alpha
keys -M alt -k Tab -s 700 -k Tab -s 700 -m alt
expect_focus "held Alt-Tab, one step by a second trigger: the window after that" gamma1

use_in_order alpha gamma2 beta gamma1
keys -M logo -k Tab -m logo
expect_focus "quick Super-Tab by trigger: the previous application (by app_id)" beta

use_in_order gamma2 alpha gamma1
keys -M alt -k grave -m alt
expect_focus "quick Alt-\` by trigger: the other window of the same app_id" gamma2

# --- a held switch shows the panel; Escape cancels; typing then reaches the focused terminal
use_in_order gamma2 gamma1 beta alpha
shown=$(grep -c "panel shown" "$out/velora.log" || true)
as_user wtype -M alt -k Tab -s 2500 -k Escape -s 300 -m alt -s 200 "touch $out/typed-after-escape" -k Return -s 300 &
typer=$!
wait_for '[ "$(grep -c "panel shown" "$out/velora.log")" -gt "$shown" ]' 10 || fail "FAIL a held switch did not show the panel"
if [ "${VELORA_UPDATE_DOCS_IMAGES:-0}" = 1 ]; then
  as_user grim "$out/panel.png" && cp "$out/panel.png" docs/images/panel-trigger.png
fi
wait "$typer"
expect_focus "held Alt-Tab shows the panel, Escape cancels: the focus stays" alpha
wait_for '[ -e "$out/typed-after-escape" ]' 20 || fail "FAIL typing after Escape did not reach the focused terminal"
echo "ok   typing after a cancelled switch reaches the focused terminal"

# (a trigger is a process started by the compositor: typing right after the release could
# come before it and be taken by the switch's keyboard hold, so the test types once the
# switch is seen done)
use_in_order gamma2 gamma1 beta alpha
keys -M alt -k Tab -m alt
expect_focus "quick Alt-Tab, then typing" beta
keys "touch $out/typed-after-switch" -k Return
wait_for '[ -e "$out/typed-after-switch" ]' 20 || fail "FAIL typing after a switch did not reach the new focus"
echo "ok   typing after a switch reaches the newly focused terminal"

# --- force quit: no process is known here; one line says so and the key beeps
use_in_order gamma2 gamma1 beta alpha
beeps=$(marks beep)
keys -M alt -k Tab -s 700 -k f -s 300 -m alt
wait_marks beep $((beeps + 1)) || fail "FAIL f without a pid did not beep"
[ "$(grep -c "^velora: this compositor does not tell which process owns a window" "$out/velora.log")" -eq 1 ] ||
  fail "FAIL not one line saying force quit cannot be done: $(grep '^velora:' "$out/velora.log")"
has_window beta || fail "FAIL force quit without a pid lost the window"
echo "ok   f without a pid: one line says so, the key beeps, nothing is killed"
running
echo "$stage: all passed"
