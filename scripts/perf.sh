#!/usr/bin/env bash
# Velora beside a peer switcher (Debian's alttab), measured in one run on one throwaway
# desktop: Xvfb, openbox without key bindings, 10, 50 and 200 client windows, ten of which
# redraw four times a second. The programs are measured in turns (velora, alttab, the floor,
# velora...) so that the load of the shared machine falls on all alike. The floor is
# bench/desktop/floor_switcher.cpp: on the same release it only asks the window manager for
# a known window, so its figure is what the manager and the server alone cost. Prints one
# table and writes it to docs/performance.md.
#
#   scripts/perf.sh            the full run (about 10 to 15 minutes)
#   scripts/perf.sh --quick    fewer switches and a shorter idle span (about 3 minutes)
#
# It reports figures; it never fails on a figure. The timed paths run in the measuring
# client bench/desktop/switch_probe.cpp (XTest and X events only).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

quick=0
[ "${1:-}" = "--quick" ] && quick=1
if [ $quick = 1 ]; then
  rounds=1; quicks=25; panels=6; idle=15; switches=200
else
  rounds=2; quicks=30; panels=8; idle=60; switches=1000
fi

scripts/deps.sh
if ! command -v alttab >/dev/null; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "perf: installing alttab (the peer switcher)" >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends alttab >/dev/null
fi

# An optimised build without sanitizers; only the programs measured here.
cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORA_BUILD_BENCH=ON \
  -DVELORA_BUILD_TESTS=OFF >/dev/null
ninja -C build-rel -j2 velora velora_switch_probe velora_bench_windows velora_floor_switcher velora_x11_bench >/dev/null
velora_bin=$(find build-rel -name velora -type f -perm -u+x | head -1)
probe=build-rel/bench/desktop/velora_switch_probe
windows_bin=build-rel/bench/desktop/velora_bench_windows
floor_bin=build-rel/bench/desktop/velora_floor_switcher
x11_bench=build-rel/bench/x11/velora_x11_bench

work=$(mktemp -d "${TMPDIR:-/tmp}/velora-perf.XXXXXX")
results=$work/results.txt
: >"$results"
prog_pid=""
client_pids=()

cleanup() {
  [ -n "$prog_pid" ] && kill "$prog_pid" 2>/dev/null || true
  for p in "${client_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  scripts/desktop.sh stop || true
  rm -rf "$work"
}
trap cleanup EXIT

eval "$(scripts/desktop.sh start openbox)"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# --- the programs

start_program() {
  case "$1" in
    velora)
      # A fresh settings folder gives the first-run defaults (Alt-Tab: all windows).
      rm -rf "$work/config"
      mkdir -p "$work/config"
      XDG_CONFIG_HOME=$work/config VELORA_TRACE_FD=3 "$velora_bin" 3>>"$work/trace" >>"$work/velora.log" 2>&1 &
      ;;
    alttab) alttab >>"$work/alttab.log" 2>&1 & ;;
    floor) "$floor_bin" >>"$work/floor.log" 2>&1 & ;;
  esac
  prog_pid=$!
  if ! "$probe" ready 15 >/dev/null; then echo "perf: $1 did not answer Alt-Tab" >&2; fi
}

stop_program() {
  [ -n "$prog_pid" ] && kill "$prog_pid" 2>/dev/null || true
  wait "$prog_pid" 2>/dev/null || true
  # A program the probe started is no child of ours: wait until it has gone (its grabs too).
  for _ in $(seq 50); do [ -n "$prog_pid" ] && [ -e "/proc/$prog_pid" ] || break; sleep 0.1; done
  prog_pid=""
  sleep 0.3
}

# Tags each figure line with the program and window count.
record() { # program windows
  while read -r figure value; do echo "$1 $2 $figure $value"; done >>"$results"
}

start_windows() { # count
  local left=$1 batch
  while [ "$left" -gt 0 ]; do
    batch=$((left < 10 ? left : 10))
    if [ ${#client_pids[@]} = 0 ]; then
      # Contents that change: the cache must not turn every redraw into work.
      "$windows_bin" "$batch" "app0" --redraw-ms 250 >/dev/null 2>&1 &
    else
      "$windows_bin" "$batch" "app${#client_pids[@]}" >/dev/null 2>&1 &
    fi
    client_pids+=($!)
    left=$((left - batch))
  done
  # Until the manager has taken every window.
  for _ in $(seq 200); do
    local managed
    managed=$(xprop -root _NET_CLIENT_LIST 2>/dev/null | tr ',' '\n' | grep -c 0x || true)
    [ "$managed" -ge "$1" ] && break
    sleep 0.1
  done
  sleep 1
}

stop_windows() {
  for p in "${client_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  client_pids=()
  sleep 1
}

# Memory figures of the running program, named after the moment: rss_rest_kb, pss_rest_kb...
memory() { # moment
  "$probe" rss --pid "$prog_pid" | sed "s/_kb/_$1_kb/" | record "$prog" "$n"
}

# --- switching figures, in turns

for n in 10 50 200; do
  echo "perf: $n windows" >&2
  start_windows "$n"
  for round in $(seq "$rounds"); do
    for prog in velora alttab floor; do
      start_program "$prog"
      "$probe" quick "$quicks" --pid "$prog_pid" | record "$prog" "$n"
      if [ "$prog" = velora ]; then
        "$probe" panel "$panels" --trace "$work/trace" | record "$prog" "$n"
      elif [ "$prog" = alttab ]; then
        "$probe" panel "$panels" | record "$prog" "$n"
      fi
      stop_program
    done
  done
  # The in-process X11 benchmarks want the 200 windows on the display.
  if [ "$n" = 200 ] && [ -x "$x11_bench" ]; then
    "$x11_bench" --benchmark_min_time=0.2 >"$work/x11_bench.txt" 2>&1 || true
  fi
  [ "$n" = 50 ] || stop_windows
  if [ "$n" = 50 ]; then
    # Resting and idle figures at 50 windows, also in turns.
    for prog in velora alttab; do
      echo "perf: $prog idle ${idle} s, then $switches switches" >&2
      if [ "$prog" = velora ]; then
        # Start to hot keys live, timed by the probe that starts it.
        rm -rf "$work/config"
        mkdir -p "$work/config"
        XDG_CONFIG_HOME=$work/config VELORA_TRACE_FD=3 "$probe" startup --trace "$work/trace" \
          --pid-file "$work/pid" --log "$work/velora.log" -- "$velora_bin" 3>>"$work/trace" | record "$prog" "$n"
        prog_pid=$(cat "$work/pid")
        "$probe" ready 15 >/dev/null || echo "perf: velora did not answer Alt-Tab" >&2
      else
        start_program "$prog"
      fi
      sleep 1
      memory start
      # First use pages in what a switch needs (the panel's drawing, fonts): at rest is after it.
      "$probe" panel 2 >/dev/null
      "$probe" switches 20 >/dev/null
      sleep 2
      memory rest
      if [ "$prog" = velora ]; then
        # The kept pictures, as velora last reported them (bytes, when a panel went down).
        cache=$(grep '^picture_cache ' "$work/trace" | tail -1 | cut -d' ' -f2)
        [ -n "$cache" ] && echo "picture_cache_kb $((cache / 1024))" | record "$prog" "$n"
      fi
      "$probe" idle "$idle" --pid "$prog_pid" | record "$prog" "$n"
      "$probe" switches "$switches" >/dev/null
      sleep 1
      memory after
      stop_program
    done
    stop_windows
  fi
done

load_after=$(cut -d' ' -f1-3 /proc/loadavg)
machine="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores, $(uname -sr)"
stamp=$(date -u '+%Y-%m-%d %H:%M UTC')
mode=full; [ $quick = 1 ] && mode=quick

python3 bench/desktop/perf_table.py "$results" "$work/x11_bench.txt" "$machine" "$stamp" \
  "$load_before" "$load_after" "$mode" "$switches" "$idle" >"$work/table.md"
cat "$work/table.md"
python3 - "$root/docs/performance.md" "$work/table.md" <<'EOF'
import sys
doc, table = sys.argv[1], open(sys.argv[2]).read()
begin, end = "<!-- perf.sh: begin -->", "<!-- perf.sh: end -->"
try:
    text = open(doc).read()
except FileNotFoundError:
    text = "# Performance\n\n" + begin + "\n" + end + "\n"
if begin not in text:
    text += "\n" + begin + "\n" + end + "\n"
head, rest = text.split(begin, 1)
tail = rest.split(end, 1)[1]
open(doc, "w").write(head + begin + "\n" + table + end + tail)
EOF
echo "perf: table written to docs/performance.md" >&2
