#!/usr/bin/env bash
# A throwaway X desktop: Xvfb, a window manager without key bindings, optional sample clients.
#   scripts/desktop.sh start [openbox|fluxbox] [clients...]   prints shell lines to eval
#   scripts/desktop.sh stop                                  ends what start began
# The lines set DISPLAY and VELORA_DESKTOP_PIDS. When the server or the window manager does
# not come up, start ends what it began, says so in one line on stderr, prints `false` (so
# that `eval` fails in a caller under `set -e`) and exits 1.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

fail() {
  VELORA_DESKTOP_PIDS="$*" stop
  echo "desktop.sh: $failure" >&2
  echo false
  exit 1
}

start() {
  local wm=${1:-openbox}; shift || true
  local pids=()
  . "$here/xserver.sh"
  if ! xserver_start Xvfb -screen 0 1280x800x24 +extension Composite +extension RANDR; then
    failure=$xserver_failure; fail
  fi
  pids+=("$XSERVER_PID")
  local n=${XSERVER_DISPLAY#:}
  export DISPLAY=":$n"
  local home; home=$(mktemp -d)
  case "$wm" in
    openbox) openbox --config-file "$here/desktop/openbox-rc.xml" >"$home/wm.log" 2>&1 & pids+=($!) ;;
    fluxbox)
      mkdir -p "$home/.fluxbox"; cp "$here/desktop/fluxbox-keys" "$home/.fluxbox/keys"
      printf 'session.screen0.workspaces: 4\nsession.keyFile: %s/.fluxbox/keys\n' "$home" > "$home/.fluxbox/init"
      HOME=$home fluxbox -rc "$home/.fluxbox/init" >"$home/wm.log" 2>&1 & pids+=($!) ;;
    none) ;;
    *) failure="unknown window manager $wm"; fail "${pids[@]}" ;;
  esac
  # Until the manager has claimed the screen; at once when it has ended.
  if [ "$wm" != none ] && ! xserver_wait_for_manager "${pids[-1]}"; then
    failure="$wm $xserver_failure: $(grep -v '^$' "$home/wm.log" | tail -n1)"
    fail "${pids[@]}"
  fi
  for c in "$@"; do $c >/dev/null 2>&1 & pids+=($!); done
  echo "export DISPLAY=:$n"
  echo "export VELORA_DESKTOP_PIDS='${pids[*]}'"
  echo "export VELORA_DESKTOP_WM=$wm"
}

# Ends what start began, the clients and the manager before their server.
stop() {
  . "$here/xserver.sh"
  # shellcheck disable=SC2086
  xserver_stop ${VELORA_DESKTOP_PIDS:-}
}

cmd=${1:-}; shift || true
case "$cmd" in
  start) start "$@" ;;
  stop) stop ;;
  *) echo "usage: $0 start [openbox|fluxbox|none] [clients...] | stop" >&2; exit 2 ;;
esac
