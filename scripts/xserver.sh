# Starting and stopping the scripts' throwaway X servers. Sourced, not run:
#   . scripts/xserver.sh
#   xserver_start Xvfb -screen 0 1280x800x24 +extension RANDR     (or: Xorg -config FILE ...)
#       Starts the server on a display number it picks itself (-displayfd: desktops started at
#       the same moment by others never share one), checks that the server answering on that
#       number is this one, and sets XSERVER_DISPLAY (":N") and XSERVER_PID. When another
#       server answers there (one this machine's /tmp does not show can hold the number's
#       abstract socket), the first stays up to keep the number taken while a second starts
#       on another; the first is ended once the second is up. Returns 1 when no server could
#       be had, with the reason in xserver_failure for the caller's one line; nothing is left
#       running then.
#   xserver_stop PID...
#       Ends the processes in the reverse order of the list, each waited out (at most 10 s,
#       then SIGKILL): clients and the window manager before the server they use. A manager
#       whose server went first can outlive it and take the next server that gets the same
#       display number. A negative PID names a process group, ended as a whole.
#   xserver_wait_for_manager PID [SECONDS]
#       Waits until a window manager has claimed the screen of DISPLAY (the root names its
#       check window, _NET_SUPPORTING_WM_CHECK), at most SECONDS (20). Returns 1 at once when
#       process PID (the manager, or the script that starts it; "" for none) ends first, with
#       the reason in xserver_failure.

# Whether the listening sockets named for display $1 all belong to process $2 (the abstract
# one is where clients connect first), and the display accepts a client.
xserver_answers_as() {
  local n=$1 pid=$2 own inode flags path
  own=" $(find "/proc/$pid/fd" -lname 'socket:*' -printf '%l ' 2>/dev/null | tr -d 'socket:[]') "
  [ "$own" != "  " ] || return 1
  while read -r _ _ _ flags _ _ inode path; do
    [ "$flags" = 00010000 ] || continue # listening
    case "$path" in "@/tmp/.X11-unix/X$n" | "/tmp/.X11-unix/X$n") ;; *) continue ;; esac
    [[ "$own" == *" $inode "* ]] || return 1
  done < <(tail -n +2 /proc/net/unix)
  xdpyinfo -display ":$n" >/dev/null 2>&1
}

# One server: sets XSERVER_DISPLAY and XSERVER_PID, or xserver_failure and returns 1.
xserver_start_one() {
  local server=$1; shift
  local numberFile; numberFile=$(mktemp)
  # -noreset: by default a server resets when its last client leaves, and a client that
  # connects during the reset is turned away ("cannot open display"): the check below is
  # such a last client, and the window manager comes next.
  "$server" -displayfd 3 -nolisten tcp -noreset "$@" 3>"$numberFile" >/dev/null 2>&1 &
  XSERVER_PID=$!
  XSERVER_DISPLAY=""
  local n=""
  for _ in $(seq 400); do
    # The number is whole once its line ends (":2" may still become ":21").
    [ "$(wc -l <"$numberFile")" -ge 1 ] && { n=$(head -n1 "$numberFile"); break; }
    kill -0 "$XSERVER_PID" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$numberFile"
  if [ -z "$n" ]; then
    if kill -0 "$XSERVER_PID" 2>/dev/null; then xserver_failure="$server did not start within 20 s"
    else xserver_failure="$server ended at its start"; fi
    xserver_stop "$XSERVER_PID"
    return 1
  fi
  XSERVER_DISPLAY=":$n"
}

xserver_start() {
  local server=$1 shadowed=() tries
  xserver_failure=""
  for tries in 1 2 3; do
    xserver_start_one "$@" || break
    if xserver_answers_as "${XSERVER_DISPLAY#:}" "$XSERVER_PID"; then
      [ ${#shadowed[@]} -eq 0 ] || xserver_stop "${shadowed[@]}"
      return 0
    fi
    echo "xserver: another server answers on $XSERVER_DISPLAY, where $server $XSERVER_PID listens; trying another number" >&2
    shadowed+=("$XSERVER_PID")
    xserver_failure="no display of $server answered as its own ($tries tries)"
  done
  [ ${#shadowed[@]} -eq 0 ] || xserver_stop "${shadowed[@]}"
  XSERVER_PID="" XSERVER_DISPLAY=""
  return 1
}

xserver_stop() {
  local pids=("$@") p i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    p=${pids[i]}
    kill -- "$p" 2>/dev/null || continue
    for _ in $(seq 200); do kill -0 -- "$p" 2>/dev/null || break; sleep 0.05; done
    kill -KILL -- "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
}

xserver_wait_for_manager() {
  local pid=$1 seconds=${2:-20}
  xserver_failure=""
  for _ in $(seq $((seconds * 20))); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    if [ -n "$pid" ] && ! kill -0 -- "$pid" 2>/dev/null; then
      xserver_failure="ended at its start on $DISPLAY"
      return 1
    fi
    sleep 0.05
  done
  xserver_failure="did not claim the screen of $DISPLAY within $seconds s"
  return 1
}
