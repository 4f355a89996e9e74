#!/usr/bin/env bash
# A throwaway X desktop: Xvfb, a window manager without key bindings, optional sample clients.
#   scripts/desktop.sh start [openbox|fluxbox] [clients...]   prints shell lines to eval
#   scripts/desktop.sh stop                                  ends what start began
# The lines set DISPLAY and VELORA_DESKTOP_PIDS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

start() {
  local wm=${1:-openbox}; shift || true
  local pids=()
  # The server picks a free display itself (-displayfd), so that desktops started at the same
  # moment by others never share one.
  local numberFile; numberFile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp +extension Composite +extension RANDR \
    3>"$numberFile" >/dev/null 2>&1 &
  pids+=($!)
  local n=""
  for _ in $(seq 200); do n=$(head -n1 "$numberFile"); [ -n "$n" ] && break; sleep 0.05; done
  rm -f "$numberFile"
  if [ -z "$n" ]; then
    kill "${pids[@]}" 2>/dev/null || true
    echo "desktop.sh: Xvfb did not start" >&2; exit 1
  fi
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
    local claimed=""
    for _ in $(seq 200); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && { claimed=1; break; }
      sleep 0.05
    done
    [ -n "$claimed" ] || echo "desktop.sh: $wm did not claim the screen of :$n" >&2
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
