#!/usr/bin/env bash
# One window manager as its users start it, on a throwaway Xvfb desktop with a session bus of
# its own and a fresh home: the manager's own default configuration, key bindings and focus
# model. Then the command given runs with DISPLAY set, VELORA_WM naming the manager and
# VELORA_WM_LOG its log. Where the manager keeps some of Velora's cycle keys for itself, they
# are freed with the command its documentation gives users (xfconf-query, gsettings, its own
# configuration file and reload, kglobalaccel's D-Bus interface): before the command runs, or,
# for the main run of a manager that refuses velora's grabs, by the command itself through
# VELORA_WM_FREE_KEYS (this script's --free-keys), once velora has said who holds them.
#   scripts/wm-matrix/session.sh MANAGER[-sloppy] COMMAND...
#   scripts/wm-matrix/session.sh --free-keys MANAGER    (inside a session: frees its keys)
# MANAGER: openbox fluxbox xfwm4 i3 icewm kwin marco mutter. With -sloppy (openbox, xfwm4,
# fluxbox) the focus follows the mouse, switched on as the manager's users switch it on.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# A user's session names no Qt platform. The test command sets one (offscreen) for its own
# suites; left in place, the services the bus starts for a manager inherit it, and KWin's
# kglobalaccel then finds no platform plugin and holds no key.
unset QT_QPA_PLATFORM

fail() { echo "wm-matrix: ${name:-$1}: $*" >&2; exit 1; }

# The keys the manager holds by default, freed as its users are told to.
freeKeys() {
  case "$1" in
    openbox)
      # rc.xml binds A-Tab and A-S-Tab: a copy of the stock file without them, then reconfigure.
      mkdir -p "$XDG_CONFIG_HOME/openbox"
      sed -e '/<keybind key="A-Tab">/,/<\/keybind>/d' -e '/<keybind key="A-S-Tab">/,/<\/keybind>/d' \
        /etc/xdg/openbox/rc.xml >"$XDG_CONFIG_HOME/openbox/rc.xml"
      openbox --reconfigure ;;
    xfwm4)
      for key in '<Alt>Tab' '<Alt><Shift>Tab' '<Super>Tab'; do
        waitFor 10 xfconf-query -c xfce4-keyboard-shortcuts -p "/xfwm4/custom/$key" >/dev/null 2>&1 ||
          fail "xfconf has no /xfwm4/custom/$key"
        xfconf-query -c xfce4-keyboard-shortcuts -p "/xfwm4/custom/$key" -r
      done ;;
    icewm)
      # QuickSwitch=0 lets go of Alt-Tab and Alt-Shift-Tab; KeySysSwitchClass holds Alt-`.
      mkdir -p "$HOME/.icewm"
      printf 'QuickSwitch=0\nKeySysSwitchClass=""\n' >"$HOME/.icewm/preferences"
      icewm -r >>"$log" 2>&1 ;;
    kwin)
      # kglobalaccel holds the four "Walk Through Windows" shortcuts; the shortcut settings set
      # them to none through its D-Bus interface, and so does this.
      waitFor 20 gdbus introspect --session --dest org.kde.kglobalaccel --object-path /component/kwin >/dev/null 2>&1 ||
        fail "kglobalaccel did not come up"
      for action in "Walk Through Windows" "Walk Through Windows (Reverse)" \
        "Walk Through Windows of Current Application" "Walk Through Windows of Current Application (Reverse)"; do
        gdbus call --session --dest org.kde.kglobalaccel --object-path /kglobalaccel \
          --method org.kde.KGlobalAccel.setForeignShortcut "['kwin', '$action', 'KWin', '$action']" '@ai []' >/dev/null
      done ;;
    marco)
      gsettings set org.mate.Marco.global-keybindings switch-windows disabled
      gsettings set org.mate.Marco.global-keybindings switch-group disabled
      # Alt-Escape cycles windows; Escape is the key that cancels a switch.
      gsettings set org.mate.Marco.global-keybindings cycle-windows disabled ;;
    mutter)
      for key in switch-applications switch-applications-backward switch-group switch-group-backward \
        switch-windows switch-windows-backward; do
        gsettings set org.gnome.desktop.wm.keybindings "$key" '[]'
      done ;;
  esac
}
waitFor() { # seconds, condition...
  local tries=$(($1 * 20)); shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.05; done
  return 1
}

if [ "${1:-}" = --free-keys ]; then
  log=$HOME/wm.log
  freeKeys "$2"
  exit 0
fi

if [ "${1:-}" != --on-the-bus ]; then
  # The display outlives the bus: services the bus started (kglobalaccel, xfconfd) then end
  # with it instead of losing their display first.
  name=$1
  home=$(mktemp -d)
  . "$here/../xserver.sh"
  XSERVER_PID=""
  trap 'xserver_stop $XSERVER_PID; rm -rf "$home"' EXIT
  xserver_start Xvfb -screen 0 1280x800x24 +extension Composite +extension RANDR || fail "$xserver_failure"
  # The bus's services (dconf, xfconfd, kglobalaccel) see the same home and runtime folder
  # as the manager: dconf tells its readers of a change through a file there.
  export DISPLAY=$XSERVER_DISPLAY HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share
  export XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$home/run
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  dbus-run-session -- "$here/session.sh" --on-the-bus "$@"
  exit
fi
shift

name=$1
wm=${name%-sloppy}
sloppy=""
[ "$wm" != "$name" ] && sloppy=1
shift

. "$here/../xserver.sh"
pids=()
trap 'xserver_stop "${pids[@]}"' EXIT
log=$HOME/wm.log

# The manager's process id once it runs (some are started through a session script).
managerPid=""
case "$wm" in
  openbox) openbox >"$log" 2>&1 & ;;
  fluxbox)
    # ~/.fluxbox/keys as a user keeps it who took Mod1 Tab, Mod1 Shift Tab (windows) and
    # Mod4 Tab, Mod4 Shift Tab (tabs) out of the stock keys; fluxbox reads it as it starts
    # (startfluxbox makes the rest of ~/.fluxbox from the stock files).
    mkdir -p "$HOME/.fluxbox"
    sed -E '/^Mod[14]( Shift)? Tab /d' /etc/X11/fluxbox/keys >"$HOME/.fluxbox/keys"
    [ -n "$sloppy" ] && echo 'session.screen0.focusModel: MouseFocus' >"$HOME/.fluxbox/init"
    # No wallpaper: the stock style's setter fails on Xvfb and says so in an xmessage window.
    echo 'background: none' >"$HOME/.fluxbox/overlay"
    startfluxbox >"$log" 2>&1 & ;;
  xfwm4) xfwm4 >"$log" 2>&1 & ;;            # xfconfd starts on the bus when it asks
  i3)
    # The stock configuration, as the first start leaves it for a user who keeps Alt as
    # the modifier (so the configuration wizard does not come up).
    mkdir -p "$XDG_CONFIG_HOME/i3" && cp /etc/i3/config "$XDG_CONFIG_HOME/i3/config"
    i3 >"$log" 2>&1 & ;;
  icewm) icewm-session >"$log" 2>&1 & ;;
  kwin) kwin_x11 >"$log" 2>&1 & ;;           # kglobalaccel starts on the bus when it asks
  marco) marco >"$log" 2>&1 & ;;
  mutter) mutter --x11 >"$log" 2>&1 & ;;
  *) fail "unknown window manager (openbox fluxbox xfwm4 i3 icewm kwin marco mutter)" ;;
esac
managerPid=$!
pids+=("$managerPid")
xserver_wait_for_manager "$managerPid" 30 || { cat "$log" >&2; fail "$xserver_failure"; }

# The keys the manager holds by default: freed now for the runs that need them free from the
# start; the main run frees them while velora runs (after its alert), with this script's
# --free-keys, and velora must take them without a restart. fluxbox is freed before its start
# (its reload on SIGUSR2 does not always let go of a key on a fluxbox just started); mutter
# takes its keys through XInput 2 and refuses no grab, so velora has nothing to tell there.
if [ -n "$sloppy" ] || [ "$wm" = fluxbox ] || [ "$wm" = i3 ] || [ "$wm" = mutter ]; then
  freeKeys "$wm"
else
  export VELORA_WM_FREE_KEYS="$here/session.sh --free-keys $wm"
fi

# Focus that follows the mouse, where asked for.
if [ -n "$sloppy" ]; then
  case "$wm" in
    openbox)
      sed -i 's|<followMouse>no</followMouse>|<followMouse>yes</followMouse>|' "$XDG_CONFIG_HOME/openbox/rc.xml"
      openbox --reconfigure ;;
    xfwm4) xfconf-query -c xfwm4 -p /general/click_to_focus -n -t bool -s false ;;
    fluxbox) ;;  # in ~/.fluxbox/init before the start
    *) fail "no sloppy focus here" ;;
  esac
fi

export VELORA_WM=$name VELORA_WM_LOG=$log
status=0
"$@" || status=$?
kill -0 "$managerPid" 2>/dev/null || { echo "wm-matrix: $wm ended during the run; its log:" >&2; cat "$log" >&2; status=1; }
exit $status
