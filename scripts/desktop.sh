#!/usr/bin/env bash
# A throwaway X desktop: Xvfb, a window manager without key bindings, optional sample clients.
#   scripts/desktop.sh start [openbox|fluxbox] [clients...]   prints shell lines to eval
#   scripts/desktop.sh stop                                  ends what start began
# The lines set DISPLAY and VELORA_DESKTOP_PIDS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

start() {
  local wm=${1:-openbox}; shift || true
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  local pids=()
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp +extension Composite +extension RANDR >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
  export DISPLAY=":$n"
  local home; home=$(mktemp -d)
  case "$wm" in
    openbox) openbox --config-file "$here/desktop/openbox-rc.xml" >/dev/null 2>&1 & pids+=($!) ;;
    fluxbox)
      mkdir -p "$home/.fluxbox"; cp "$here/desktop/fluxbox-keys" "$home/.fluxbox/keys"
      printf 'session.screen0.workspaces: 4\nsession.keyFile: %s/.fluxbox/keys\n' "$home" > "$home/.fluxbox/init"
      HOME=$home fluxbox -rc "$home/.fluxbox/init" >/dev/null 2>&1 & pids+=($!) ;;
    none) ;;
    *) echo "unknown window manager $wm" >&2; exit 2 ;;
  esac
  # Wait until the manager has claimed the screen.
  if [ "$wm" != none ]; then
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.05
    done
  fi
  for c in "$@"; do $c >/dev/null 2>&1 & pids+=($!); done
  echo "export DISPLAY=:$n"
  echo "export VELORA_DESKTOP_PIDS='${pids[*]}'"
  echo "export VELORA_DESKTOP_WM=$wm"
}

stop() {
  for p in ${VELORA_DESKTOP_PIDS:-}; do kill "$p" 2>/dev/null || true; done
}

cmd=${1:-}; shift || true
case "$cmd" in
  start) start "$@" ;;
  stop) stop ;;
  *) echo "usage: $0 start [openbox|fluxbox|none] [clients...] | stop" >&2; exit 2 ;;
esac
