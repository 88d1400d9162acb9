#!/usr/bin/env bash
# The main job: sets up, builds the device folder and starts the launcher
# on the bundled game module, then shows the log.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
runner="$(scripts/runner.sh)"
device="$PWD/build/device"
echo "== starting $device/TavrinW.exe"
set +e
(cd "$device" && $runner ./TavrinW.exe "$@")
status=$?
set -e
echo "== exit code $status"
echo "== log: $device/trevik.txt"
cat "$device/trevik.txt"
exit $status
