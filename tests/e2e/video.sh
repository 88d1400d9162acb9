#!/usr/bin/env bash
# A mingw-built game intro through the translated video library: VxPlay.exe
# imports VEXON32 by name and by ordinal and plays intro.avi (Cinepak,
# 160x120, 15 frames a second, 16-bit stereo sound; made here by ffmpeg)
# onto the screen through the real launcher. The screen capture is copied
# while it plays: every copy must show one of the movie's frames (as ffmpeg
# decodes them, within the screen's 5-6-5 precision), in order, ending on
# the last; the WAV capture must hold the movie's samples exactly. The
# program then plays the movie silently through WinG at (0, 140), whose last
# frame must be on the screen, and into a DirectDraw surface (checked by the
# program itself). Last, a movie whose sound is shorter than its pictures
# must play to its end. (VxPlay also checks that a key press skips a
# skippable playback.)
# Usage: video.sh DEVICE_DIR RUNNER
set -u
. "$(dirname "$0")/guest_run.sh"
guest_setup "$1" VxPlay
ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=160x120:rate=15:duration=2 \
  -f lavfi -i sine=frequency=300:sample_rate=22050:duration=2 -ac 2 -c:v cinepak -c:a pcm_s16le "$work/intro.avi"
ffmpeg -hide_banner -loglevel error -y -i "$work/intro.avi" -map 0:v -fps_mode passthrough -f rawvideo -pix_fmt rgb24 "$work/frames.rgb"
ffmpeg -hide_banner -loglevel error -y -i "$work/intro.avi" -map 0:a -f s16le -c:a pcm_s16le "$work/sound.raw"
mkdir "$work/snaps"
(
  n=0
  while [ ! -e "$work/done" ]; do
    [ -e "$work/screen.bmp" ] && cp "$work/screen.bmp" "$work/snaps/$(printf %05d $n).bmp" 2>/dev/null && n=$((n + 1))
    sleep 0.1
  done
) &
poller=$!
guest_run "$2" DEVICE_SCREEN_CAPTURE="$work/screen.bmp" DEVICE_AUDIO_CAPTURE="$work/played.wav"
touch "$work/done"
wait $poller
cp "$work/screen.bmp" "$work/snaps/99999.bmp" 2>/dev/null
[ "$status" = 0 ] || fail "exit code $status (a mask of the failed checks)"
python3 - "$work" <<'PY' || fail "the screen or the sound is not the movie's"
import glob, os, struct, sys, wave
work = sys.argv[1]
W, H = 160, 120
raw = open(os.path.join(work, "frames.rgb"), "rb").read()
frames = [raw[i:i + W * H * 3] for i in range(0, len(raw), W * H * 3)]

def region(path, top=0):
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    out = bytearray()
    for y in range(H):
        row = height - 1 - (top + y) if height > 0 else top + y
        at = offset + row * stride
        line = data[at:at + W * 3]
        out += bytes(v for x in range(W) for v in (line[3 * x + 2], line[3 * x + 1], line[3 * x]))
    return bytes(out)

def matches(shot, frame):  # the screen keeps 5 or 6 bits of each channel
    return all(abs(a - b) <= 8 for a, b in zip(shot, frame))

seen = []
for path in sorted(glob.glob(os.path.join(work, "snaps", "*.bmp"))):
    shot = region(path)
    if not any(shot):
        continue  # before the first frame
    found = [n for n, f in enumerate(frames) if matches(shot, f)]
    assert found, "%s shows no frame of the movie" % os.path.basename(path)
    seen.append(found[0])
assert seen and seen[-1] == len(frames) - 1, ("the last frame is not on the screen", seen)
assert seen == sorted(seen), ("frames out of order", seen)
print("frames seen on the screen:", sorted(set(seen)))
assert matches(region(os.path.join(work, "snaps", "99999.bmp"), 140), frames[-1]), "WinG did not show the last frame"
with wave.open(os.path.join(work, "played.wav")) as w:
    assert (w.getnchannels(), w.getsampwidth(), w.getframerate()) == (2, 2, 22050), w.getparams()
    played = w.readframes(w.getnframes())
want = open(os.path.join(work, "sound.raw"), "rb").read()
assert played == want, ("sound", len(played), len(want))
PY
# A movie whose sound ends a second before its pictures: the frame rate
# carries the clock on once the sound is over (the run must end, and well).
ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=64x48:rate=10:duration=2 \
  -f lavfi -i sine=sample_rate=11025:duration=1 -c:v cinepak -c:a pcm_u8 "$work/short.avi"
rm -f "$work/screen.bmp"
guest_run "$2" DEVICE_SCREEN_CAPTURE="$work/screen.bmp" -- short.avi
[ "$status" = 0 ] || fail "the movie with the shorter sound ended with $status"
python3 - "$work/screen.bmp" <<'PY' || fail "the movie with the shorter sound was not shown"
import struct, sys
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
width, height = struct.unpack_from("<ii", data, 18)
stride = (width * 3 + 3) & ~3
rows = [data[offset + (height - 1 - y) * stride:][:64 * 3] for y in range(48)]
assert any(any(row) for row in rows)
PY
guest_check_clean
guest_finish
echo "video run passed"
