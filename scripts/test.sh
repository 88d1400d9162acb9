#!/usr/bin/env bash
# Sets up, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
# The translator's host-side tests (its own tree), then the target tree's.
(cd build/host && ctest --output-on-failure --timeout 600 -j"$(nproc)")
cd build
ctest --output-on-failure --timeout 600 -j"$(nproc)" "$@"
