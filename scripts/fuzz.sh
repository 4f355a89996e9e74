#!/usr/bin/env bash
# Fuzzes the readers of outside input with libFuzzer: the settings file, the stored key
# combinations, the key-code table and the announcement decision.
#   scripts/fuzz.sh [--seconds N] [target...]   N seconds per target (default 20)
# Builds build-fuzz with clang (AddressSanitizer, UndefinedBehaviorSanitizer, coverage).
# Each target starts from its seed corpus in fuzz/corpus/<name>; inputs it finds go to
# build-fuzz/corpus/<name>, and an input that breaks a target is kept in build-fuzz/artifacts
# and ends the run with status 1.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=20
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --seconds=*) seconds=${1#*=}; shift ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(settings_reader key_combo_reader key_code_table announcement_decision)

if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORA_FUZZ=ON \
    -DVELORA_SANITIZE="address;undefined" -DVELORA_BUILD_TESTS=OFF -DVELORA_WITH_X11=OFF -DVELORA_WERROR=ON >/dev/null
fi
cmake --build build-fuzz -j "$(nproc)" --target $(printf '%s_fuzz ' "${targets[@]}")

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p build-fuzz/artifacts
failed=0
summary=()
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  log="build-fuzz/$t.log"
  echo "== fuzz $t for ${seconds}s"
  if build-fuzz/fuzz/"${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
      -dict=fuzz/plist.dict -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/${t}-" \
      "build-fuzz/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED; failed=1
    tail -n 40 "$log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1 || true)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}' || true)
  corpus=$(find "build-fuzz/corpus/$t" "fuzz/corpus/$t" -type f | wc -l)
  summary+=("$(printf '%-22s %-6s %10s runs  coverage %5s  corpus %5s' "$t" "$status" "${runs:-?}" "${cov:-?}" "$corpus")")
done
echo "== fuzz summary (${seconds}s per target)"
printf '%s\n' "${summary[@]}"
exit $failed
