#!/usr/bin/env bash
# The headless demo of scripts/run.sh on a headless sway (scripts/run.sh --sway): two foot
# terminals, velora with settings of its own (a first start), one Alt-Tab held until the
# panel shows its pictures, then released. Leaves out/panel-sway.png (the panel up) and
# out/after-switch-sway.png; ends with 1 when the switch did not change the focused window.
#   scripts/run-sway.sh [BUILD_DIR]     (default build; the program must be built with Wayland)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
stage=run
# shellcheck source=scripts/wayland/session.sh
source scripts/wayland/session.sh
mkdir -p out

as_user foot -D "$home" -T Terminal -o colors.background=1d2b3a >/dev/null 2>&1 &
pids+=($!)
as_user foot -D "$home" -T Notes -o colors.background=f5f0c8 -o colors.foreground=202020 >/dev/null 2>&1 &
pids+=($!)
wait_for 'has_window Terminal && has_window Notes' || fail "the terminals did not show"

session_env+=(VELORA_WAYLAND_TRACE=1)
: >"$trace"
as_user env VELORA_TRACE_FD=3 "$work/velora" >"$out/velora.log" 2>&1 3>>"$trace" &
pids+=($!)
wait_marks hotkeys 1 60 || fail "velora did not come up: $(tail -5 "$out/velora.log")"
# A first start opens the preferences with a welcome note: Return answers it, Ctrl+W closes them.
wait_for 'titles | grep -x Velora >/dev/null && [ "$(focused_app)" = velora ]' ||
  fail "the welcome note did not show"
keys -k Return
wait_for '! titles | grep -x Velora >/dev/null && [ "$(focused_app)" = velora ]' || fail "the welcome note stayed"
keys -M ctrl -k w -m ctrl
wait_for '[ -z "$(app_rect velora)" ]' || fail "the preferences stayed"
echo "run: a headless sway with the windows: $(titles | paste -sd, -)"

# Terminal, then Notes: Notes has the focus and Terminal is the most recent other window.
use_in_order Terminal Notes
before=$(focused)
# Alt-Tab held while wtype waits for the end of its input, until the panel shows its pictures.
mkfifo "$work/held"
as_user wtype -M alt -k Tab - -m alt -s 300 <"$work/held" &
pids+=($!)
exec {held}>"$work/held"
wait_for 'grep -q "panel shown" "$out/velora.log"' || fail "no panel came up"
wait_for '[ "$(grep -c "picture of" "$out/velora.log")" -ge 2 ]' || echo "run: the panel shows no pictures"
as_user grim "$out/panel-sway.png" && cp "$out/panel-sway.png" out/
exec {held}>&-
wait_for '[ "$(focused)" != "$before" ]' || true
after=$(focused)
as_user grim "$out/after-switch-sway.png" && cp "$out/after-switch-sway.png" out/
cp "$out/velora.log" out/velora-sway.log
echo "run: focused window before '$before', after the switch '$after'"
echo "run: screenshots in out/panel-sway.png and out/after-switch-sway.png, log in out/velora-sway.log"
[ "$before" != "$after" ]
