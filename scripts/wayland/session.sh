# shellcheck shell=bash
# A headless sway session for the end-to-end scripts, sourced by them (scripts/test-wayland.sh,
# scripts/test-wayland-trigger.sh). Before sourcing set: stage (the name its lines begin
# with), build (the build folder) and, if wanted, sway_config_extra (lines added to sway's
# configuration; @WORK@ in them is the session's folder, where the program is copied as
# @WORK@/velora).
# sway refuses to run as root: as root, the session runs as an unprivileged user made for it.
# It leaves: fail, as_user, wait_for, pids (background jobs ended at exit), sw (swaymsg),
# focused, focused_app, titles, app_rect, has_window, keys, marks, last_recent, wait_marks,
# use_in_order, expect_focus; $work, $runtime, $home, $out, $trace, $user, $sway_pid.

fail() { echo "$stage: $*" >&2; exit 1; }
[ -x "$build/velora" ] || fail "$build/velora is not built"
for tool in sway swaymsg foot footclient wtype grim python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done

work=$(mktemp -d /tmp/velora-wayland.XXXXXX)
chmod 755 "$work"
if [ "$(id -u)" -eq 0 ]; then
  user=velora-wayland-test
  id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --home-dir "$work/home" --shell /bin/bash "$user"
else
  user=$(id -un)
fi
runtime=$work/runtime home=$work/home out=$work/out trace=$work/out/trace
mkdir -p "$runtime" "$home" "$out"
chmod 700 "$runtime"
# The checkout may not be readable by that user: the program is copied where it can run it.
# (the executable and the program's library beside it)
cp "$build/velora" "$build/libvelora-program.so" "$work/"
cp tests/sanitizers/lsan.supp "$work/lsan.supp"
chown -R "$user" "$runtime" "$home" "$out"
cat >"$work/sway.conf" <<'EOF'
xwayland disable
focus_follows_mouse no
default_border normal
output HEADLESS-1 resolution 1280x800 position 0 0
EOF
printf '%s\n' "${sway_config_extra:-}" | sed "s|@WORK@|$work|g" >>"$work/sway.conf"

pids=()
# A background job is a subshell running runuser running the program: end the whole line.
kill_tree() {
  local child
  for child in $(pgrep -P "$1"); do kill_tree "$child"; done
  kill "$1" 2>/dev/null || true
}
cleanup() {
  local status=$?
  for pid in "${pids[@]}"; do kill_tree "$pid"; done
  [ -n "${sway_pid:-}" ] && kill "$sway_pid" 2>/dev/null || true
  if [ $status -ne 0 ]; then
    echo "--- velora's output"; cat "$out/velora.log" 2>/dev/null | tail -40
    echo "--- velora's trace"; tail -20 "$trace" 2>/dev/null
    echo "--- sway's output"; tail -20 "$out/sway.log" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Every command of the session runs as the user, with the session's environment.
session_env=(HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin XDG_RUNTIME_DIR="$runtime"
             XDG_CONFIG_HOME="$home/.config" LANG=C.UTF-8 SHELL=/bin/bash
             ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
             LSAN_OPTIONS="suppressions=$work/lsan.supp:print_suppressions=0")
as_user() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u "$user" -- env -i "${session_env[@]}" "$@"
  else env -i "${session_env[@]}" "$@"; fi
}

# Polls a condition (a command) every 50 ms for at most $2 seconds (default 20).
wait_for() {
  local what=$1 limit=${2:-20} i
  for ((i = 0; i < limit * 20; ++i)); do
    eval "$what" && return 0
    sleep 0.05
  done
  return 1
}

# --- the session
as_user env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c "$work/sway.conf" >"$out/sway.log" 2>&1 &
pids+=($!)
wait_for 'compgen -G "$runtime/sway-ipc.*.sock" >/dev/null && [ -S "$runtime/wayland-1" ]' 20 ||
  fail "sway did not start (see its output above)"
sock=$(compgen -G "$runtime/sway-ipc.*.sock" | head -n1)
sway_pid=$(basename "$sock" .sock); sway_pid=${sway_pid##*.}
session_env+=(WAYLAND_DISPLAY=wayland-1 SWAYSOCK="$sock")

sw() { as_user swaymsg "$@"; }
# A keyboard for the whole session, as a real seat has: without one, each wtype's keyboard
# appears and goes with it, and clients (Qt among them) get a keyboard of their own only
# after its first keys were sent.
as_user wtype -s 100000000 &
pids+=($!)
wait_for 'sw -t get_inputs | grep -q "\"type\": \"keyboard\""' 20 || fail "the session's keyboard did not appear"
# A field of the focused window (its title by default), or nothing.
focused() {
  sw -t get_tree | python3 -c '
import json, sys
def walk(n):
    if n.get("focused") and n.get("pid"): print(n.get(sys.argv[1]))
    for c in n.get("nodes", []) + n.get("floating_nodes", []): walk(c)
walk(json.load(sys.stdin))' "${1:-name}"
}
focused_app() { focused app_id; }
titles() {
  sw -t get_tree | python3 -c '
import json, sys
def walk(n):
    if n.get("pid"): print(n.get("name"))
    for c in n.get("nodes", []) + n.get("floating_nodes", []): walk(c)
walk(json.load(sys.stdin))'
}
# "x,y wxh" of the first window of the app_id (grim's geometry), or nothing.
app_rect() {
  sw -t get_tree | python3 -c '
import json, sys
def walk(n):
    if n.get("pid") and n.get("app_id") == sys.argv[1]:
        r = n["rect"]; print("%d,%d %dx%d" % (r["x"], r["y"], r["width"], r["height"])); sys.exit()
    for c in n.get("nodes", []) + n.get("floating_nodes", []): walk(c)
walk(json.load(sys.stdin))' "$1"
}
# The number of trace marks of a kind, and the last "recent:W" mark.
marks() { grep -c "^$1 " "$trace" 2>/dev/null || true; }
last_recent() { grep "^recent:" "$trace" 2>/dev/null | tail -n1 | cut -d" " -f1; }
wait_marks() { wait_for "[ \$(marks $1) -ge $2 ]" "${3:-20}"; }
has_window() { titles | grep -x "$1" >/dev/null; } # all of it read: no broken pipe
# Keys through one virtual keyboard; it lives a moment after the last key, as a real
# keyboard does, so that the compositor's modifier state is that of its last event.
keys() { as_user wtype "$@" -s 300; }
# The order of use, oldest first: each window is focused and the program has taken the focus
# in (its "recent:W" mark names the window; each title's W is learnt the first time).
declare -A window_mark=()
use_in_order() {
  local t before
  for t in "$@"; do
    [ "$(focused)" = "$t" ] && continue
    before=$(last_recent)
    sw "[title=\"^$t\$\"] focus" >/dev/null
    wait_for '[ "$(focused)" = "$t" ]' 10 || fail "could not focus $t"
    if [ -n "${window_mark[$t]:-}" ]; then
      wait_for '[ "$(last_recent)" = "${window_mark[$t]}" ]' 10 || fail "velora did not see $t focused"
    else
      wait_for 'new_mark "$before"' 10 || fail "velora did not see $t focused"
      window_mark[$t]=$(last_recent)
    fi
  done
}
# The last "recent:W" mark names a window no title has yet (the periodic polls repeat known ones).
new_mark() {
  local m v
  m=$(last_recent)
  [ -n "$m" ] && [ "$m" != "$1" ] || return 1
  for v in "${window_mark[@]}"; do [ "$v" != "$m" ] || return 1; done
}
expect_focus() {
  local name=$1 expected=$2
  if wait_for '[ "$(focused)" = "$expected" ]' 10; then
    echo "ok   $name"
  else
    fail "FAIL $name: focused '$(focused)', expected '$expected'"
  fi
}
