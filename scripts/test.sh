#!/usr/bin/env bash
# The whole test suite: installs what it needs, builds the program, then every test under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the threaded core again under
# ThreadSanitizer. X11 tests run on throwaway Xvfb desktops that this script starts: every
# test under openbox, then the X11 tests again under fluxbox.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

scripts/deps.sh
scripts/lint.sh --format  # the style check in seconds, before the long builds (all of lint at the end)

echo "== program (build/velora)"
scripts/build.sh build -DVELORA_BUILD_TESTS=OFF -DVELORA_WERROR=ON
build/velora --version
scripts/test-package.sh

echo "== tests under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan)"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVELORA_SANITIZE="address;undefined" -DVELORA_WERROR=ON

eval "$(scripts/desktop.sh start openbox)"
trap 'scripts/desktop.sh stop' EXIT

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen  # suites that need the X server set their own
# Tests on the X display take turns (they hold the lock "x11display"); the rest run beside
# them. Every test runs once: no retries.
dbus-run-session --config-file=tests/support/dbus-session.conf -- ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== X11 tests again under a second window manager (fluxbox)"
scripts/desktop.sh stop
eval "$(scripts/desktop.sh start fluxbox)"
dbus-run-session --config-file=tests/support/dbus-session.conf -- ctest --test-dir build-asan --output-on-failure -j "$jobs" -L x11
scripts/desktop.sh stop
scripts/screens.sh build-asan  # two monitors, HiDPI, a compositor: desktops of their own
for c in xfwm4 kwin; do VELORA_COMPOSITOR=$c scripts/screens.sh build-asan; done  # their own compositors
scripts/conflicts-test.sh build-asan  # keys held by fluxbox, openbox, icewm with their stock keys
scripts/test-wm-matrix.sh build-asan  # the end-to-end subset under each window manager

echo "== Wayland: end to end on a headless sway" && scripts/test-wayland.sh build-asan
echo "== Wayland: compositor bindings running velora --trigger (sway without its IPC)" && scripts/test-wayland-trigger.sh build-asan

echo "== threaded core under ThreadSanitizer (build-tsan)"
VELORA_TARGET=threaded_tests scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=Debug -DVELORA_SANITIZE=thread -DVELORA_WERROR=ON
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/sanitizers/tsan.supp"
dbus-run-session --config-file=tests/support/dbus-session.conf -- ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L threaded

# Reliability: the readers of outside input fuzzed for a short while, then a short soak on a
# desktop of its own (the long forms: scripts/fuzz.sh --seconds 120, scripts/soak.sh --long).
echo "== fuzzing, short form (build-fuzz)"
scripts/fuzz.sh --seconds 20
echo "== soak, short form"
scripts/soak.sh --short

# The sources against .clang-format and .clang-tidy (warnings as errors), on the compile
# commands of the sanitizer tree, which holds the generated protocol headers.
echo "== lint (clang-format, clang-tidy)"
scripts/lint.sh build-asan
