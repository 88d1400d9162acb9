#!/usr/bin/env bash
# A mingw-built program playing three buffers through a wave device opened
# with its own callback function (run by the wave bridge on the device's
# audio thread), started through the real launcher named WaveCheck.exe.
# Checks the exit code (a mask of the program's failed checks) and that the
# device's capture holds exactly the samples the program wrote.
# Usage: audio.sh DEVICE_DIR RUNNER
set -u
device=$1 runner=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$device"/. "$work"/
rm -f "$work/trevik.txt"
cp "$device/TavrinW.exe" "$work/WaveCheck.exe"
(cd "$work" && DEVICE_ROOT=$work DEVICE_AUDIO_CAPTURE=$work/played.wav DEVICE_MSGBOX_LOG=$work/boxes.txt \
  timeout 60 "$runner" ./WaveCheck.exe) >"$work/out.txt" 2>&1
status=$?
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[ "$status" = 0 ] || fail "exit code $status (a mask of the failed checks)"
python3 - "$work/played.wav" <<'PY' || fail "the captured sound is not what the program played"
import struct, sys, wave
with wave.open(sys.argv[1]) as w:
    assert (w.getnchannels(), w.getsampwidth(), w.getframerate()) == (1, 2, 8000), w.getparams()
    frames = w.readframes(w.getnframes())
got = struct.unpack("<%dh" % (len(frames) // 2), frames)
want = [((i * 37 - 20000 + 32768) % 65536) - 32768 for i in range(3 * 800)]
assert list(got) == want, (len(got), got[:8])
PY
! grep -qE "unknown function|Unhandled exception|not translated" "$work/trevik.txt" || fail "unexpected log lines"
[ ! -s "$work/boxes.txt" ] || fail "unexpected boxes: $(cat "$work/boxes.txt")"
if [ "$failures" != 0 ]; then
  echo "--- log"; cat "$work/trevik.txt"; echo "--- output"; cat "$work/out.txt"
  exit 1
fi
echo "audio run passed"
