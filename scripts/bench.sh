#!/usr/bin/env bash
# Builds the in-process benchmarks (optimised, no sanitizers) and runs each. They report
# figures; they never fail on a figure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DVELORA_BUILD_TESTS=OFF -DVELORA_BUILD_BENCH=ON
for b in build-bench/bench/*/velora_*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  QT_QPA_PLATFORM=offscreen "$b" --benchmark_min_time=0.2 "$@"
done
