#!/usr/bin/env bash
# A mingw-built program drawing on the screen (a stretched 8-bit DIB and a
# bitmap copied from a memory DC), started through the real launcher named
# DrawCheck.exe; checks the exit code (a mask of failed calls) and the
# pixels of the device's screen capture.
# Usage: graphics.sh DEVICE_DIR RUNNER
set -u
. "$(dirname "$0")/guest_run.sh"
guest_setup "$1" DrawCheck
guest_run "$2" DEVICE_SCREEN_CAPTURE="$work/screen.bmp"
[ "$status" = 0 ] || fail "exit code $status (a mask of the failed calls)"
python3 "$(dirname "$0")/screen_pixels.py" "$work/screen.bmp" 0,0=0,0,0 13,13=255,0,0 21,20=0,255,0 \
  29,40=0,0,255 37,13=255,255,0 100,100=255,255,255 163,163=255,255,255 164,164=0,0,0 99,120=0,0,0 ||
  fail "the screen does not show what the program drew"
guest_check_clean
guest_finish
echo "graphics run passed"
