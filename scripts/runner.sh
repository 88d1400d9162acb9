#!/usr/bin/env bash
# Prints the program that starts 32-bit programs on this machine (the same
# choice the build made).
cd "$(dirname "$0")/.."
echo "$PWD/build/run32"
