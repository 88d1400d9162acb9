#!/usr/bin/env bash
# The main job: sets up, builds the device folder and starts the game,
# Breaker. With a display (an X server at $DISPLAY) it opens in a window;
# without one it plays itself headless for a few seconds and leaves a
# screenshot and the sound it made. Extra arguments go to the game
# (-seed N, -attract, -nointro, -seconds N).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
runner="$(scripts/runner.sh)"
device="$PWD/build/device"
set +e
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "== starting $device/TavrinW.exe in a window"
  (cd "$device" && "$runner" ./TavrinW.exe "$@")
  status=$?
else
  out="$PWD/build/attract"
  mkdir -p "$out"
  rm -f "$out/screen.bmp" "$out/sound.wav" "$device/breaker.log"
  echo "== no display: the game plays itself for 8 seconds"
  (cd "$device" && DEVICE_PRESENTER=headless DEVICE_SCREEN_CAPTURE="$out/screen.bmp" \
     DEVICE_AUDIO_CAPTURE="$out/sound.wav" "$runner" ./TavrinW.exe -attract -seconds 8 "$@")
  status=$?
  [ -f "$out/screen.bmp" ] && convert "$out/screen.bmp" "$out/screen.png" 2>/dev/null
  echo "== screenshot: $out/screen.png"
  echo "== sound:      $out/sound.wav"
fi
set -e
echo "== exit code $status"
echo "== game log: $device/breaker.log"
cat "$device/breaker.log" 2>/dev/null
exit $status
