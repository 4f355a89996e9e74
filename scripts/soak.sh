#!/usr/bin/env bash
# Soak test: thousands of switches of every kind on a throwaway X desktop while clients are
# started, killed and stopped at random and the window manager is replaced; then checks that
# velora still runs with its panel hidden, that no key stays grabbed, that a switch focuses
# the window it chose and that memory and X resources do not grow, and prints the figures.
#   scripts/soak.sh [--short|--long|--seconds N] [--seed N]
#     --short   about 2 minutes (the default; part of scripts/test.sh)
#     --long    about 10 minutes
# VELORA_BIN picks the program (default build/velora, built when missing). The run's log is
# left in ${TMPDIR:-/tmp}/velora-soak-*/velora.log.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=110
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --short) seconds=110; shift ;;
    --long) seconds=600; shift ;;
    --seconds) seconds=$2; shift 2 ;;
    --seed) extra+=(--seed "$2"); shift 2 ;;
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "soak: unknown option $1" >&2; exit 2 ;;
  esac
done
bin=${VELORA_BIN:-build/velora}
if [ ! -x "$bin" ]; then
  scripts/build.sh build -DVELORA_BUILD_TESTS=OFF
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/velora-soak-XXXXXX")
eval "$(scripts/desktop.sh start openbox)"
trap 'scripts/desktop.sh stop' EXIT

# Settings of a user past the first run: no welcome sheet, no preferences window, no login entry.
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME/velora" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
combo() { printf '<key>%s</key><dict><key>keyCode</key><integer>%s</integer><key>modifiers</key><integer>%s</integer></dict>\n' "$@"; }
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<plist version="1.0"><dict>'
  echo '<key>firstRun2</key><true/><key>startAtLogin</key><integer>0</integer>'
  echo '<key>displayDelayDefault</key><true/><key>displayDelay</key><real>0.2</real>'
  echo '<key>showNamesDefault</key><true/><key>appShowAppName</key><integer>1</integer>'
  echo '<key>windowShowAppName</key><integer>1</integer><key>windowShowWindowName</key><integer>1</integer>'
  echo '<key>showAppBadges</key><integer>1</integer><key>showSpaceBadges</key><integer>1</integer>'
  echo '<key>windowWidth</key><real>637</real><key>windowHeight</key><real>437</real>'
  combo KeyCycleAppForward 48 2048; combo KeyCycleAppBackward 48 2560
  combo KeyCycleWindowForward 48 256; combo KeyCycleWindowBackward 48 768
  combo KeyCycleAppWindowForward 50 256; combo KeyCycleAppWindowBackward 50 768
  echo '</dict></plist>'
} > "$XDG_CONFIG_HOME/velora/defaults.plist"

echo "== soak for ${seconds}s on $DISPLAY ($bin)"
python3 scripts/soak/soak_driver.py --velora "$bin" --seconds "$seconds" --log "$work/velora.log" \
  --settings "$XDG_CONFIG_HOME/velora/defaults.plist" "${extra[@]}"
