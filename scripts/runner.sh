#!/usr/bin/env bash
# Prints how 32-bit programs are started on this machine (the same choice
# the build made).
cd "$(dirname "$0")/.."
grep -E '^TARGET_RUNNER' build/CMakeCache.txt | sed 's/^[^=]*=//; s/;/ /g'
