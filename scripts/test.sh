#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test.
#   scripts/test.sh            the release preset
#   scripts/test.sh asan debug any presets of CMakePresets.json, in turn
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(release)
jobs=$(nproc)

for preset in "${presets[@]}"; do
  echo "== $preset =="
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
