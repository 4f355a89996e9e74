#!/usr/bin/env bash
# Prints the size of the tests against the size of the program, in lines of C++ that are
# neither blank nor comments (// lines and /* */ blocks that start a line), over *.cpp and *.h.
# Counted as program: src/. Counted as tests: tests/ (suites, shared helpers, the end-to-end
# clients). Not counted on either side: fuzz/, bench/, scripts/ (the soak's Python drivers
# included) and generated files in build trees.
# Usage: scripts/test-ratio.sh [--per-file DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

count() {  # count FILE... -> lines of code
  awk '
    FNR == 1 { inblock = 0 }
    {
      line = $0
      if (inblock) { if (line !~ /\*\//) next; inblock = 0; sub(/.*\*\//, "", line) }
      gsub(/^[ \t]+|[ \t]+$/, "", line)
      if (line == "" || line ~ /^\/\//) next
      if (line ~ /^\/\*/) {
        if (line !~ /\*\//) { inblock = 1; next }
        sub(/.*\*\//, "", line); gsub(/^[ \t]+/, "", line)
        if (line == "") next
      }
      n++
    }
    END { print n + 0 }' "$@"
}

sources() { find "$1" -type f \( -name '*.cpp' -o -name '*.h' \) | sort; }

if [ "${1:-}" = --per-file ]; then
  sources "${2:-tests}" | while read -r f; do echo "$(count "$f") $f"; done | sort -n
  exit 0
fi

mapfile -t src_files < <(sources src)
mapfile -t test_files < <(sources tests)
src=$(count "${src_files[@]}")
tests=$(count "${test_files[@]}")
echo "src $src tests $tests: tests are $((100 * tests / src)) % of src"
