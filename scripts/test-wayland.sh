#!/usr/bin/env bash
# End-to-end tests of the Wayland backend on a headless sway, with foot terminals as clients,
# wtype for keys (the virtual-keyboard protocol), scripts/wayland/pointer.py for clicks and the
# wheel, and sway's tree as the truth.
#   scripts/test-wayland.sh [BUILD_DIR]        (default build-asan; the tree must be built)
# sway refuses to run as root: as root, the session runs as an unprivileged user made for it.
# The program's shared trace marks (VELORA_TRACE_FD, src/platform/trace.h) tell when it has
# bound its keys, taken a focus change in, or beeped.
# With VELORA_UPDATE_DOCS_IMAGES=1 the screenshots replace docs/images/preferences-sway.png,
# panel-sway.png and panel-full-screen-sway.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}

stage=test-wayland
# shellcheck source=scripts/wayland/session.sh
source scripts/wayland/session.sh

# Terminals: alpha and beta on their own, gamma1 and gamma2 from one foot server (one
# application with two windows).
as_user foot --server="$runtime/foot.sock" >/dev/null 2>&1 &
pids+=($!)
wait_for '[ -S "$runtime/foot.sock" ]' 20 || fail "the foot server did not start"
for t in alpha beta; do
  as_user foot -D "$home" -T "$t" >/dev/null 2>&1 &
  pids+=($!)
  wait_for "has_window $t" 20 || fail "foot $t did not show"
done
for t in gamma1 gamma2; do
  as_user footclient --server-socket="$runtime/foot.sock" -D "$home" -T "$t" >/dev/null 2>&1 &
  pids+=($!)
  wait_for "has_window $t" 20 || fail "footclient $t did not show"
done

# (a compositor without what the backend needs is refused: scripts/test-wayland-trigger.sh)
as_user "$work/velora" --help | grep -q "GNOME and KDE Plasma on Wayland are" || fail "FAIL --help does not say where velora works"
echo "ok   --help says where velora works"

# --- the program
# The backend's own log (VELORA_WAYLAND_TRACE) is for diagnosis: shown when a test fails.
session_env+=(VELORA_WAYLAND_TRACE=1)
start_velora() {
  : >"$trace"
  as_user env VELORA_TRACE_FD=3 "$work/velora" >"$out/velora.log" 2>&1 3>>"$trace" &
  velora_pid=$!
  pids+=($velora_pid)
}
start_velora
running() { kill -0 "$velora_pid" 2>/dev/null || fail "velora ended: $(tail -5 "$out/velora.log")"; }
wait_marks hotkeys 1 60 || { running; fail "velora did not register its hot keys"; }
echo "ok   velora registers its hot keys (the switches below use them as sway bindings)"

# --- the preferences: on the first run they open with a welcome alert, as windows of their own
# on sway that get typing while they have the focus; a recorded shortcut changes sway's binding
wait_for 'titles | grep -x Velora >/dev/null && [ "$(focused_app)" = velora ]' 20 ||
  fail "FAIL the welcome alert did not show on sway (focused: '$(focused)')"
keys -k Return
wait_for '! titles | grep -x Velora >/dev/null && [ "$(focused_app)" = velora ]' 20 ||
  fail "FAIL the welcome alert did not close, or the preferences lost the focus"
as_user grim -g "$(app_rect velora)" "$out/preferences-sway.png"
if [ "${VELORA_UPDATE_DOCS_IMAGES:-0}" = 1 ]; then cp "$out/preferences-sway.png" docs/images/; fi
echo "ok   the preferences window and the welcome alert show on sway; Return answers the alert"
# Tab past the three check boxes and the Super-Tab recorder to the Super-Shift-Tab one; Space
# starts recording and withdraws sway's bindings, so Super+Tab (a hot key) reaches the field
# (which refuses it: another recorder has it) instead of starting a switch; Super+A is
# recorded and registered.
registered=$(marks hotkeys)
bound=$(marks bindings)
fired=$(grep -c "^velora-wayland: binding " "$out/velora.log" || true)
keys -k Tab -k Tab -k Tab -k Tab -k Tab -k space
wait_marks bindings $((bound + 1)) || fail "FAIL recording did not withdraw sway's bindings"
keys -M logo -k Tab -m logo
keys -M logo -k a -m logo
wait_marks hotkeys $((registered + 1)) || fail "FAIL the shortcut typed in the preferences was not recorded"
[ "$(grep -c "^velora-wayland: binding " "$out/velora.log" || true)" = "$fired" ] ||
  fail "FAIL a hot key pressed while recording fired sway's binding"
if sw "unbindsym Mod4+Shift+Tab" | grep -q '"success": true'; then fail "FAIL the replaced Super-Shift-Tab is still bound"; fi
echo "ok   a shortcut recorded in the preferences replaces sway's binding; hot keys reach the recorder"
lines=$(wc -l <"$trace")
keys -M ctrl -k w -m ctrl
wait_for '[ -z "$(app_rect velora)" ]' 20 || fail "FAIL Ctrl+W did not close the preferences"
# The poll that follows names the window that has the focus now.
wait_for '[ -n "$(tail -n +$((lines + 1)) "$trace" | grep "^recent:")" ]' 20 || fail "velora did not poll the focus"
window_mark[$(focused)]=$(last_recent)

# --- switches (defaults: Alt-Tab all windows, Super-Tab applications, Alt-` the active
# application's windows; Shift goes backward)
use_in_order gamma2 gamma1 beta alpha
keys -M alt -k Tab -m alt
expect_focus "quick Alt-Tab: the previous window" beta

use_in_order gamma2 gamma1 beta alpha
keys -M alt -k Tab -s 700 -k Tab -s 700 -m alt
expect_focus "held Alt-Tab, one step: the window after that" gamma1

use_in_order gamma2 gamma1 beta alpha
keys -M alt -M shift -k Tab -m shift -m alt
expect_focus "quick Alt-Shift-Tab: the least recent window" gamma2

use_in_order alpha gamma2 beta gamma1
keys -M logo -k Tab -m logo
expect_focus "quick Super-Tab: the previous application" beta

use_in_order alpha gamma2 beta gamma1
keys -M logo -k Tab -s 700 -k Tab -s 700 -m logo
expect_focus "held Super-Tab, one step: the application after that" alpha

use_in_order gamma2 alpha gamma1
keys -M alt -k grave -m alt
expect_focus "quick Alt-\`: the active application's other window" gamma2

use_in_order gamma1 gamma2
keys -M alt -k grave -s 700 -m alt
expect_focus "held Alt-\`: the same" gamma1

# --- the panel: a held switch shows it on an overlay surface centred on the output, drawn by
# the panel view, with the picture of a visible window in its cell (a terminal in a colour
# nothing else shows, floating away from the panel: its hue appears inside the panel)
tint=d33682
before=$(last_recent)
as_user foot -D "$home" -T tinted -o "colors.background=$tint" >/dev/null 2>&1 &
pids+=($!)
wait_for "has_window tinted" 20 || fail "foot tinted did not show"
# It has the focus on opening: the program's recent windows include it once it took that in.
wait_for 'new_mark "$before"' 10 || fail "velora did not see tinted focused"
window_mark[tinted]=$(last_recent)
# Floating in a corner, away from where the panel shows.
sw '[title="^tinted$"] floating enable, resize set 240 160, move position 16 16' >/dev/null
# Used just before the window focused now: the switch selects it. (The order is the program's:
# a switch that selected another window once showed tinted only in a small side cell.)
use_in_order tinted gamma2
as_user grim -t ppm "$out/before.ppm"
shown_before=$(grep -c "panel shown" "$out/velora.log" || true)
# The modifier stays down while wtype waits for the end of its input: it is released when the
# checks below close it, not after a fixed time.
mkfifo "$work/held"
# Alt goes down, Tab is typed, and Alt stays down until release_alt closes wtype's input.
hold_alt_tab() {
  as_user wtype -M alt -k Tab - -m alt -s 300 <"$work/held" &
  typer=$!
  pids+=($typer)
  exec {held}>"$work/held"
}
release_alt() {
  exec {held}>&-
  wait "$typer"
}
hold_alt_tab
wait_for '[ "$(grep -c "panel shown" "$out/velora.log")" -gt "$shown_before" ]' ||
  fail "FAIL a held switch did not show the panel"
panel_size=$(grep "panel shown" "$out/velora.log" | tail -n1 | sed -E 's/.*panel shown ([0-9]+x[0-9]+).*/\1/')
# Pixels of its hue inside the panel (its rounded corners left out) where the screen
# before the switch had another colour.
tinted_in_panel() {
  as_user grim -t ppm "$out/during.ppm" &&
    python3 scripts/wayland/screen_check.py tinted "$out/before.ppm" "$out/during.ppm" "$panel_size"
}
wait_for tinted_in_panel || fail "FAIL the panel ($panel_size) shows no picture of the visible window"
echo "ok   a held switch shows the panel centred on the output, with the picture of a visible window"
if [ "${VELORA_UPDATE_DOCS_IMAGES:-0}" = 1 ]; then
  as_user grim "$out/panel.png" && cp "$out/panel.png" docs/images/panel-sway.png
fi
release_alt # the modifier goes up
wait_for '[ "$(grep -c "panel hidden" "$out/velora.log")" -ge "$(grep -c "panel shown" "$out/velora.log")" ]' 10 ||
  fail "FAIL the panel stayed after the switch ended"
expect_focus "the panel goes when the switch ends, on the window selected" tinted
sw '[title="^tinted$"] kill' >/dev/null
wait_for '! has_window tinted' 20 || fail "foot tinted did not close"

# Escape, then typing on the same keyboard: the keyboard is back with the focused terminal
# (its shell runs what is typed).
use_in_order gamma2 gamma1 beta alpha
keys -M alt -k Tab -s 700 -k Escape -s 300 -m alt -s 200 "touch $out/typed-after-escape" -k Return
expect_focus "Escape cancels: the focus stays" alpha
wait_for '[ -e "$out/typed-after-escape" ]' 20 || fail "FAIL typing after Escape did not reach the focused terminal"
echo "ok   typing after a cancelled switch reaches the focused terminal"

use_in_order gamma2 gamma1 beta alpha
keys -M alt -k Tab -m alt -s 200 "touch $out/typed-after-switch" -k Return
expect_focus "quick Alt-Tab, then typing" beta
wait_for '[ -e "$out/typed-after-switch" ]' 20 || fail "FAIL typing after a switch did not reach the new focus"
echo "ok   typing after a switch reaches the newly focused terminal"

# --- minimise and hide: sway has no minimised state; velora says so once and beeps
use_in_order gamma2 gamma1 beta alpha
beeps=$(marks beep)
keys -M alt -k Tab -s 700 -k m -s 300 -k h -s 300 -m alt
wait_marks beep $((beeps + 2)) || fail "FAIL m and h on sway did not beep (beeps: $(marks beep))"
[ "$(grep -c "^velora: sway has no minimised state" "$out/velora.log")" -eq 1 ] ||
  fail "FAIL not one line saying sway cannot minimise: $(grep '^velora:' "$out/velora.log")"
has_window beta || fail "FAIL minimise or hide lost the window"
echo "ok   m and h on sway: one line says sway has no minimised state, each beeps"

# --- a configuration reload drops run-time bindings: velora binds its keys again
bound=$(marks bindings)
sw reload >/dev/null
wait_marks bindings $((bound + 1)) || fail "FAIL velora did not bind again after sway's reload"
use_in_order beta alpha
keys -M alt -k Tab -m alt
expect_focus "quick Alt-Tab after sway reloaded its configuration" beta

use_in_order alpha gamma2 beta gamma1
keys -M logo -k a -m logo
expect_focus "the recorded Super+A is sway's binding: the least recent application" alpha

# --- commands inside a switch
use_in_order gamma2 gamma1 beta alpha
keys -M alt -k Tab -s 700 -k w -s 300 -m alt
wait_for '! has_window beta' 20 || fail "FAIL w did not close the selected window (beta)"
echo "ok   w closes the selected window"
running

use_in_order alpha gamma2 gamma1
keys -M alt -k Tab -s 700 -k q -s 300 -m alt
wait_for '! has_window gamma1 && ! has_window gamma2' 20 || fail "FAIL q did not close every window of the application"
has_window alpha || fail "FAIL q closed another application's window"
echo "ok   q closes every window of the selected application"
running

# --- force quit: the pid sway reports for the selected window is killed (SIGKILL, no request
# to close: the terminal ends by the signal)
as_user foot -D "$home" -T doomed >/dev/null 2>&1 &
doomed=$!
pids+=($doomed)
wait_for "has_window doomed" 20 || fail "foot doomed did not show"
use_in_order doomed alpha
keys -M alt -k Tab -s 700 -k f -s 300 -m alt
wait_for '! has_window doomed' 20 || fail "FAIL f did not end the selected application (doomed)"
status=0
wait "$doomed" || status=$?
[ "$status" -eq $((128 + 9)) ] || fail "FAIL the force-quit terminal ended with status $status, not by SIGKILL"
has_window alpha || fail "FAIL f ended another application"
echo "ok   f force-quits the selected application (sway's pid, SIGKILL)"
running

# --- a second start opens the preferences where there is no tray
as_user "$work/velora" >"$out/second.log" 2>&1 || fail "FAIL the second start failed: $(cat "$out/second.log")"
wait_for '[ -n "$(app_rect velora)" ] && [ "$(focused_app)" = velora ]' 20 ||
  fail "FAIL a second start did not open the preferences (focused: '$(focused)')"
echo "ok   a second start opens the preferences (sway without a tray)"

# --- the end: the bindings go with the program
# (runuser forwards a signal it receives and then ends by it: the program itself is signalled)
program_pid=$velora_pid
while child=$(pgrep -P "$program_pid" | head -n1) && [ -n "$child" ]; do program_pid=$child; done
kill -TERM "$program_pid"
status=0
wait "$velora_pid" || status=$?
[ "$status" -eq 0 ] || fail "velora ended with status $status on SIGTERM"
if sw "unbindsym Mod1+Tab" | grep -q '"success": true'; then fail "FAIL velora left its Alt-Tab binding behind"; fi
echo "ok   quitting removes the bindings"

# --- the full-screen panel (the setting for windows): a held Alt-Tab covers the whole output,
# its edges the panel's dark backdrop where the screen before showed windows and title bars
python3 - "$home/.config/velora/defaults.plist" <<'PY'
import plistlib, sys
d = plistlib.load(open(sys.argv[1], "rb"))
d["fullScreenWindows"] = 1
plistlib.dump(d, open(sys.argv[1], "wb"))
PY
# A pointer for the clicks below, there before the program starts (as a real seat's is).
output_size=$(sw -t get_outputs | python3 -c 'import json, sys; r = json.load(sys.stdin)[0]["rect"]; print("%dx%d" % (r["width"], r["height"]))')
mkfifo "$work/pointer"
as_user python3 scripts/wayland/pointer.py ${output_size/x/ } <"$work/pointer" >"$out/pointer.log" &
pids+=($!)
exec {pointer}>"$work/pointer"
point() {
  local done_before; done_before=$(grep -c done "$out/pointer.log" || true)
  echo "$*" >&"$pointer"
  wait_for '[ "$(grep -c done "$out/pointer.log")" -gt "$done_before" ]' 10 || fail "the virtual pointer did not $*"
}
point move 1000 700 # inside the output: sway draws the cursor into the screenshots
start_velora
wait_marks bindings 1 60 || fail "velora did not start again"
wait_for '[ -n "$(last_recent)" ]' 20 || fail "velora did not take in the focused window"
as_user foot -D "$home" -T cover -o "colors.background=$tint" >/dev/null 2>&1 &
pids+=($!)
before=$(last_recent)
wait_for "has_window cover && [ \"\$(focused)\" = cover ]" 20 || fail "foot cover did not show"
wait_for '[ "$(last_recent)" != "$before" ]' 10 || fail "velora did not see cover focused"
as_user grim -t ppm "$out/before.ppm"
hold_alt_tab
wait_for 'grep -q "panel shown $output_size at scale 1 covering the output" "$out/velora.log"' ||
  fail "FAIL a held switch under the full-screen setting showed no panel covering the output ($output_size)"
# Every pixel of the screen's outer edge is the backdrop; before, some were not.
edges_dark() { python3 scripts/wayland/screen_check.py edges-dark "$1"; }
! edges_dark "$out/before.ppm" || fail "the screen's edges were dark before the switch: the check would prove nothing"
wait_for 'as_user grim -t ppm "$out/during.ppm" && edges_dark "$out/during.ppm"' ||
  fail "FAIL the full-screen panel does not cover the output's edges"
echo "ok   the full-screen setting: a held switch covers the whole output ($output_size)"
as_user grim "$out/panel-full-screen.png"
if [ "${VELORA_UPDATE_DOCS_IMAGES:-0}" = 1 ]; then cp "$out/panel-full-screen.png" docs/images/panel-full-screen-sway.png; fi
# The pointer: a double click on the cell left of the front one (cover, the window focused
# before the switch) activates it, though its first press set the row gliding: the switch
# ends while the modifier is still down, on cover, where the release would have chosen alpha.
point move 140 430
wait_for 'grep -q "pointer on the panel" "$out/velora.log"' 10 || fail "FAIL the pointer over the panel is not the panel's"
point double
wait_for '[ "$(grep -c "panel hidden" "$out/velora.log")" -ge "$(grep -c "panel shown" "$out/velora.log")" ]' 10 ||
  fail "FAIL a double click on the panel did not end the switch"
release_alt
running
expect_focus "the full-screen panel: a double click on a cell activates it and ends the switch" cover
# The wheel: one notch up moves the selection one window back, from alpha (where the release
# would activate it) to cover, the front one.
shown_before=$(grep -c "panel shown" "$out/velora.log")
entered_before=$(grep -c "pointer on the panel" "$out/velora.log")
hold_alt_tab
wait_for '[ "$(grep -c "panel shown" "$out/velora.log")" -gt "$shown_before" ]' || fail "FAIL a held switch did not show the panel"
point move 150 430
wait_for '[ "$(grep -c "pointer on the panel" "$out/velora.log")" -gt "$entered_before" ]' 10 ||
  fail "FAIL the pointer over the panel is not the panel's"
point wheel -1
wait_for 'grep -q "panel wheel 0,120" "$out/velora.log"' 10 || fail "FAIL the wheel's notch did not reach the panel"
release_alt
running
expect_focus "the full-screen panel: a notch of the wheel moves the selection one window back" cover

# --- losing the compositor ends the program with one line, status 1, the settings intact
kill -TERM "$sway_pid"
status=0
wait "$velora_pid" || status=$?
[ "$status" -eq 1 ] || fail "FAIL velora ended with status $status when sway went, expected 1"
[ "$(grep -c "^velora: lost the connection to" "$out/velora.log")" -eq 1 ] ||
  fail "FAIL not one line about the lost compositor: $(grep '^velora:' "$out/velora.log")"
python3 -c 'import plistlib, sys; plistlib.load(open(sys.argv[1], "rb"))' "$home/.config/velora/defaults.plist" ||
  fail "FAIL the settings file is damaged after the compositor went"
echo "ok   losing the compositor: one line, status 1, the settings intact"
echo "test-wayland: all passed"
