#!/usr/bin/env bash
# Breaker, the demo game, headless in its attract mode through the real
# launcher: it must run to its time limit and end with exit code 0, show
# the play field in landscape (copies of the screen capture taken while it
# runs), make sound, and report its frame times in its own log.
# Usage: game.sh DEVICE_DIR RUNNER
set -u
. "$(dirname "$0")/guest_run.sh"
guest_setup "$1" TavrinW
# Nothing of an earlier run in the device folder: no scores, no log.
rm -f "$work/breaker.log" "$work/registry.dat"
mkdir "$work/snaps"
# The capture is rewritten as the game draws; keep copies while it runs.
(
  n=0
  while [ ! -e "$work/ended" ] && [ $n -lt 400 ]; do
    [ -e "$work/screen.bmp" ] && cp "$work/screen.bmp" "$work/snaps/$(printf %05d $n).bmp" 2>/dev/null
    n=$((n + 1))
    sleep 0.2
  done
) &
copier=$!
guest_run "$2" DEVICE_SCREEN_CAPTURE="$work/screen.bmp" DEVICE_AUDIO_CAPTURE="$work/sound.wav" \
  -- -attract -seconds 5 -seed 7
touch "$work/ended"
wait $copier
[ "$status" = 0 ] || fail "exit code $status"
grep -q '^frames [0-9]* in ' "$work/breaker.log" 2>/dev/null || fail "no frame report in the game's log"
guest_check_clean
python3 - "$work" <<'PY' || fail "the play field or the sound is not as expected"
import glob, os, struct, sys, wave
work = sys.argv[1]

def picture(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        return None
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    def pixel(x, y):
        at = offset + (height - 1 - y) * stride + 3 * x
        b, g, r = data[at:at + 3]
        return r, g, b
    return width, height, pixel

def near(got, want):
    return all(abs(a - b) <= 8 for a, b in zip(got, want))

def field(path):
    p = picture(path)
    if not p or p[:2] != (320, 240):
        return False
    pixel = p[2]
    # The side wall, a red brick of the first level's top row, the score bar.
    return (near(pixel(5, 120), (110, 110, 120)) and near(pixel(20, 46), (230, 40, 40))
            and near(pixel(160, 2), (0, 0, 0)))

snaps = sorted(glob.glob(os.path.join(work, "snaps", "*.bmp")))
assert any(field(s) for s in snaps), "no copy of the screen shows the play field (%d copies)" % len(snaps)
w = wave.open(os.path.join(work, "sound.wav"))
frames = w.readframes(w.getnframes())
samples = struct.unpack("<%dh" % (len(frames) // 2), frames)
assert w.getframerate() == 22050 and max(samples) > 1000, "the game made no sound"
PY
guest_finish "$work/breaker.log"
frames=$(grep '^frames' "$work/breaker.log")

# Damaged data: a level file that is not a level, a missing intro movie.
# Each is a line in the game's log and the game goes on to its end.
printf 'this is no level\n' >"$work/levels/level1.txt"
rm -f "$work/intro.avi" "$work/breaker.log"
guest_run "$2" -- -attract -seconds 2
[ "$status" = 0 ] || fail "exit code $status with a damaged level"
grep -qx "level 1: file damaged; playing a built-in wall" "$work/breaker.log" || fail "no line for the damaged level"
guest_run "$2" -- -seconds 2
[ "$status" = 0 ] || fail "exit code $status without the intro movie"
grep -q "^intro: .*" "$work/breaker.log" && ! grep -qE "^intro: (played|skipped)" "$work/breaker.log" ||
  fail "no line for the missing intro movie"
guest_check_clean
guest_finish "$work/breaker.log"
echo "game run passed: $frames; damaged level and missing movie reported"
