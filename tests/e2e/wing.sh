#!/usr/bin/env bash
# A mingw-built program drawing through WinG (an 8-bit WinG bitmap written
# through its pointer, copied and stretched to the screen), started through
# the real launcher named WinGCheck.exe; checks the exit code (a mask of
# failed calls) and the pixels of the device's screen capture.
# Usage: wing.sh DEVICE_DIR RUNNER
set -u
. "$(dirname "$0")/guest_run.sh"
guest_setup "$1" WinGCheck
guest_run "$2" DEVICE_SCREEN_CAPTURE="$work/screen.bmp"
[ "$status" = 0 ] || fail "exit code $status (a mask of the failed calls)"
python3 "$(dirname "$0")/screen_pixels.py" "$work/screen.bmp" 0,0=0,0,0 20,20=255,0,0 83,35=255,0,0 \
  40,36=0,255,0 50,52=0,0,255 83,83=255,255,255 84,84=0,0,0 100,20=255,0,0 227,51=255,0,0 150,52=0,255,0 \
  160,84=0,0,255 227,147=255,255,255 228,148=0,0,0 ||
  fail "the screen does not show what the program drew"
guest_check_clean
guest_finish
echo "WinG run passed"
