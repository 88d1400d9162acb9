#!/usr/bin/env bash
# A mingw-built program playing three buffers through a wave device opened
# with its own callback function (run by the wave bridge on the device's
# audio thread), started through the real launcher named WaveCheck.exe.
# Checks the exit code (a mask of the program's failed checks) and that the
# device's capture holds exactly the samples the program wrote.
# Usage: audio.sh DEVICE_DIR RUNNER
set -u
. "$(dirname "$0")/guest_run.sh"
guest_setup "$1" WaveCheck
guest_run "$2" DEVICE_AUDIO_CAPTURE="$work/played.wav"
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
guest_check_clean
guest_finish
echo "audio run passed"
