#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs txisp.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target txisp
build/release/src/cli/txisp --version
