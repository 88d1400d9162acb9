#!/usr/bin/env bash
# Configures and builds the target tree (build/) and the host tools
# (build/host/). Usage: scripts/build.sh [Release|RelWithDebInfo|Debug]
set -euo pipefail
cd "$(dirname "$0")/.."
type="${1:-RelWithDebInfo}"
jobs="$(nproc)"
cmake -S tools -B build/host -DCMAKE_BUILD_TYPE="$type" >/dev/null
cmake --build build/host -j"$jobs"
cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/i386-linux.cmake -DCMAKE_BUILD_TYPE="$type" >/dev/null
cmake --build build -j"$jobs"
