#!/usr/bin/env bash
# A mingw-built program drawing through WinG (an 8-bit WinG bitmap written
# through its pointer, copied and stretched to the screen), started through
# the real launcher named WinGCheck.exe; checks the exit code (a mask of
# failed calls) and the pixels of the device's screen capture.
# Usage: wing.sh DEVICE_DIR RUNNER
set -u
device=$1 runner=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$device"/. "$work"/
rm -f "$work/trevik.txt"
cp "$device/TavrinW.exe" "$work/WinGCheck.exe"
(cd "$work" && DEVICE_ROOT=$work DEVICE_SCREEN_CAPTURE=$work/screen.bmp DEVICE_MSGBOX_LOG=$work/boxes.txt \
  timeout 60 "$runner" ./WinGCheck.exe) >"$work/out.txt" 2>&1
status=$?
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[ "$status" = 0 ] || fail "exit code $status (a mask of the failed calls)"
python3 - "$work/screen.bmp" <<'PY' || fail "the screen does not show what the program drew"
import struct, sys
data = open(sys.argv[1], "rb").read()
assert data[:2] == b"BM", "not a BMP"
offset, = struct.unpack_from("<I", data, 10)
width, height, planes, bits = struct.unpack_from("<iiHH", data, 18)
assert bits == 24, bits
stride = (width * 3 + 3) & ~3
def pixel(x, y):  # rows bottom-up when the height is positive
    row = height - 1 - y if height > 0 else y
    b, g, r = data[offset + row * stride + 3 * x: offset + row * stride + 3 * x + 3]
    return r, g, b
def near(got, want):
    return all(abs(a - b) <= 8 for a, b in zip(got, want))
checks = [((0, 0), (0, 0, 0)), ((20, 20), (255, 0, 0)), ((83, 35), (255, 0, 0)), ((40, 36), (0, 255, 0)),
          ((50, 52), (0, 0, 255)), ((83, 83), (255, 255, 255)), ((84, 84), (0, 0, 0)),
          ((100, 20), (255, 0, 0)), ((227, 51), (255, 0, 0)), ((150, 52), (0, 255, 0)),
          ((160, 84), (0, 0, 255)), ((227, 147), (255, 255, 255)), ((228, 148), (0, 0, 0))]
for (x, y), want in checks:
    assert near(pixel(x, y), want), ((x, y), pixel(x, y), want)
PY
! grep -qE "unknown function|Unhandled exception|not translated" "$work/trevik.txt" || fail "unexpected log lines"
[ ! -s "$work/boxes.txt" ] || fail "unexpected boxes: $(cat "$work/boxes.txt")"
if [ "$failures" != 0 ]; then
  echo "--- log"; cat "$work/trevik.txt"; echo "--- output"; cat "$work/out.txt"
  exit 1
fi
echo "WinG run passed"
