"""Bad movies get the result that names their fault, from the native build
of the decoder (vx_dump): not an AVI, an unknown codec, an absurd frame
size, no frames, a header running past the end of the file, a palette
change past entry 255, Cinepak strips past the frame; a movie cut in its
frames keeps the frames it has, and an absurd frame rate is replaced.
Usage: refusals.py VX_DUMP [RUNNER]"""
import os
import struct
import subprocess
import sys
import tempfile

import movies

dump = sys.argv[1]
runner = sys.argv[2:]
work = tempfile.mkdtemp()
failures = []


def result(name, data):
    path = os.path.join(work, name)
    open(path, "wb").write(data)
    r = subprocess.run(runner + [dump, path, path + ".out", "24"], capture_output=True, text=True)
    return r.stdout.strip().splitlines()


def expect(name, data, want):
    lines = result(name, data)
    if not lines or lines[-1] != want:
        failures.append("%s: %r, expected %r" % (name, lines, want))


def cinepak_frame(strips, width=16, height=16):
    return bytes([0]) + struct.pack(">I", 10 + len(strips))[1:] + struct.pack(">HHH", width, height, strips.count(b"\x10") or 1) + strips


ok = movies.stream_headers(16, 16, 24, b"cvid", b"cvid", 1)
frame = cinepak_frame(b"")
expect("text.avi", b"RIFF\x10\0\0\0WAVEfmt " + b"\0" * 16, "error 5")
expect("codec.avi", movies.build(movies.stream_headers(16, 16, 24, b"XVID", b"XVID", 1), [(b"00dc", frame)]), "error 8")
expect("huge.avi", movies.build(movies.stream_headers(100000, 16, 24, b"cvid", b"cvid", 1), [(b"00dc", frame)]), "error 9")
expect("zero.avi", movies.build(movies.stream_headers(0, 16, 24, b"cvid", b"cvid", 1), [(b"00dc", frame)]), "error 9")
expect("empty.avi", movies.build(ok, []), "error 10")
whole = movies.build(ok, [(b"00dc", frame)])
expect("cut_header.avi", whole[:100], "error 6")
# A strip that claims more bytes than the frame holds.
strip = bytes([0x10]) + struct.pack(">I", 400)[1:] + struct.pack(">HHHH", 0, 0, 16, 16)
expect("strip.avi", movies.build(ok, [(b"00dc", bytes([0]) + struct.pack(">I", 22)[1:] + struct.pack(">HHH", 16, 16, 1) + strip)]),
       "frame 0: error 13")
# More strips than the frame has bytes for.
expect("strips.avi", movies.build(ok, [(b"00dc", bytes([0]) + struct.pack(">I", 10)[1:] + struct.pack(">HHH", 16, 16, 9))]),
       "frame 0: error 13")
# A palette change of 100 entries from entry 200.
pal = bytes(4 * 16)
msvc = movies.stream_headers(16, 16, 8, b"CRAM", b"CRAM", 2, pal)
blocks = bytes([16, 0x84])  # all 16 blocks skipped
expect("palette.avi", movies.build(msvc, [(b"00dc", blocks), (b"00pc", struct.pack("<BBH", 200, 100, 0) + bytes(400)),
                                          (b"00dc", blocks)]), "frame 1: error 17")
# Cut inside the third frame, no index: two frames remain.
three = movies.build(ok, [(b"00dc", frame)] * 3, index=False)
lines = result("cut_frames.avi", three[:-5])
if not lines or lines[0].split()[2] != "2":
    failures.append("cut_frames.avi: %r, expected two frames" % lines)
# A stream rate of one frame in 2^32 units falls back on the main header's
# 100,000 microseconds a frame instead of stalling playback.
slow = bytearray(ok)
at = slow.index(b"strh") + 8 + 20
slow[at:at + 4] = struct.pack("<I", 0xFFFFFFFF)
lines = result("slow.avi", movies.build(bytes(slow), [(b"00dc", frame)]))
if not lines or lines[0].split()[3] != "1000000/100000":
    failures.append("slow.avi: %r, expected the rate 1000000/100000" % lines)
if failures:
    print("\n".join(failures))
    sys.exit(1)
print("every bad movie refused with its reason")
