#!/usr/bin/env bash
# A mingw-built program drawing on the screen (a stretched 8-bit DIB and a
# bitmap copied from a memory DC), started through the real launcher named
# DrawCheck.exe; checks the exit code (a mask of failed calls) and the
# pixels of the device's screen capture.
# Usage: graphics.sh DEVICE_DIR RUNNER
set -u
device=$1 runner=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$device"/. "$work"/
rm -f "$work/trevik.txt"
cp "$device/TavrinW.exe" "$work/DrawCheck.exe"
(cd "$work" && DEVICE_ROOT=$work DEVICE_SCREEN_CAPTURE=$work/screen.bmp DEVICE_MSGBOX_LOG=$work/boxes.txt \
  timeout 60 "$runner" ./DrawCheck.exe) >"$work/out.txt" 2>&1
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
checks = [((0, 0), (0, 0, 0)), ((13, 13), (255, 0, 0)), ((21, 20), (0, 255, 0)), ((29, 40), (0, 0, 255)),
          ((37, 13), (255, 255, 0)), ((100, 100), (255, 255, 255)), ((163, 163), (255, 255, 255)),
          ((164, 164), (0, 0, 0)), ((99, 120), (0, 0, 0))]
for (x, y), want in checks:
    assert near(pixel(x, y), want), ((x, y), pixel(x, y), want)
PY
! grep -qE "unknown function|Unhandled exception|not translated" "$work/trevik.txt" || fail "unexpected log lines"
[ ! -s "$work/boxes.txt" ] || fail "unexpected boxes: $(cat "$work/boxes.txt")"
if [ "$failures" != 0 ]; then
  echo "--- log"; cat "$work/trevik.txt"; echo "--- output"; cat "$work/out.txt"
  exit 1
fi
echo "graphics run passed"
