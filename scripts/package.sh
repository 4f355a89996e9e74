#!/usr/bin/env bash
# Builds the Debian package: the program in build/ (the release tree, tests off), then CPack's
# DEB generator. Prints the package's path on the last line.
# Usage: scripts/package.sh [OUTPUT_DIR]   (default: build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/package}
scripts/deps.sh
scripts/build.sh build -DVELORA_BUILD_TESTS=OFF -DVELORA_WERROR=ON
mkdir -p "$out"
(cd build && cpack -G DEB -B "$(realpath -m "../$out")" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls "$(realpath "$out")"/velora_*.deb
