"""The video library's frames and sound against ffmpeg's decode of the same
movies, bit for bit: the native build of the decoder (vx_dump) and, with
--device, the translated VEXON32 module through the launcher (VxDump.exe).

Usage: oracle.py --dump VX_DUMP [--device DIR] [--runner RUNNER]"""
import argparse
import array
import os
import shutil
import subprocess
import sys
import tempfile

import movies

FORMATS = ["24", "565", "555b", "8", "24b"]


def ffmpeg_frames(path, pix_fmt):
    out = path + "." + pix_fmt
    movies.ffmpeg("-i", path, "-map", "0:v", "-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", pix_fmt, out)
    return open(out, "rb").read()


def ffmpeg_sound(path, codec):
    out = path + ".pcm"
    movies.ffmpeg("-i", path, "-map", "0:a", "-f", codec[4:], "-c:a", codec, out)
    return open(out, "rb").read()


def expected(source, pix_fmt, w, h, fmt):
    """What the library must give in `fmt`, derived from ffmpeg's frames in
    `pix_fmt` by the library's documented conversions."""
    kind, bottom_up = fmt.rstrip("b"), fmt.endswith("b")
    frame_size = {"rgb24": w * h * 3, "rgb555le": w * h * 2, "pal8": w * h + 1024}[pix_fmt]
    frames = []
    for at in range(0, len(source), frame_size):
        f = source[at:at + frame_size]
        palette = None
        if pix_fmt == "rgb24":
            R, G, B = f[0::3], f[1::3], f[2::3]
        elif pix_fmt == "rgb555le":
            V = [v & 0x7FFF for v in array.array("H", f)]
            R, G, B = (bytes((v >> s & 31) << 3 | (v >> s & 31) >> 2 for v in V) for s in (10, 5, 0))
        else:  # indices, then the palette as native-endian words (blue, green, red, alpha)
            I = f[:w * h]
            palette = bytes(b for k in range(256) for b in (f[w * h + 4 * k], f[w * h + 4 * k + 1], f[w * h + 4 * k + 2], 0))
            R, G, B = (bytes(f[w * h + 4 * v + c] for v in I) for c in (2, 1, 0))
        if kind == "24":
            out = bytearray(3 * w * h)
            out[0::3], out[1::3], out[2::3] = B, G, R
            depth = 3
        elif kind in ("565", "555"):
            if pix_fmt == "rgb555le":
                words = V if kind == "555" else [(v >> 10) << 11 | ((v >> 5 & 31) << 1 | (v >> 9 & 1)) << 5 | (v & 31) for v in V]
            elif kind == "565":
                words = [(r >> 3) << 11 | (g >> 2) << 5 | b >> 3 for r, g, b in zip(R, G, B)]
            else:
                words = [(r >> 3) << 10 | (g >> 3) << 5 | b >> 3 for r, g, b in zip(R, G, B)]
            out = bytearray(array.array("H", words).tobytes())
            depth = 2
        else:
            out = bytearray(I if pix_fmt == "pal8" else bytes((r & 0xE0) | (g >> 3 & 0x1C) | b >> 6 for r, g, b in zip(R, G, B)))
            depth = 1
        if bottom_up:
            row = w * depth
            out = b"".join(out[y * row:(y + 1) * row] for y in reversed(range(h)))
        if kind == "8":
            out = bytes(out) + (palette if palette else
                                b"".join(bytes([(i & 3) * 255 // 3, (i >> 2 & 7) * 255 // 7, (i >> 5) * 255 // 7, 0])
                                         for i in range(256)))
        frames.append(bytes(out))
    return frames


def compare(name, got, frames, sound):
    at = 0
    for fmt_frames, fmt in frames:
        for n, want in enumerate(fmt_frames):
            have = got[at:at + len(want)]
            if have != want:
                diff = next(i for i in range(min(len(have), len(want))) if have[i] != want[i]) if have else 0
                return "%s: frame %d in format %s differs at byte %d (of %d)" % (name, n, fmt, diff, len(want))
            at += len(want)
    if got[at:] != sound:
        return "%s: the sound differs (%d bytes, expected %d)" % (name, len(got) - at, len(sound))
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dump", required=True)
    ap.add_argument("--device")
    ap.add_argument("--runner", default="")
    args = ap.parse_args()
    work = tempfile.mkdtemp()
    failures = []
    try:
        cases = []  # (file name, ffmpeg pixel format, width, height, sound codec or None)
        base = os.path.join(work, "cvid_base.avi")
        movies.encode(base, "cinepak", "320x240", 15, 1, (22050, 2, "pcm_s16le"))
        cases.append(("cvid_base.avi", "rgb24", 320, 240, "pcm_s16le"))
        # A smaller one without index, in 'rec ' lists with JUNK and unknown
        # chunks between, and with an index counted from the file's start.
        small = os.path.join(work, "cvid_small.avi")
        movies.encode(small, "cinepak", "160x120", 15, 1, (22050, 2, "pcm_s16le"))
        hdrl, movi = movies.movie_parts(small)
        for name, opts in (("cvid_noindex.avi", dict(index=False)),
                           ("cvid_records.avi", dict(records=True, junk=True)),
                           ("cvid_absolute.avi", dict(absolute_index=True, junk=True))):
            open(os.path.join(work, name), "wb").write(movies.build(hdrl, movi, **opts))
            cases.append((name, "rgb24", 160, 120, "pcm_s16le"))
        # Odd-sized 8-bit mono sound chunks (padded), no index.
        odd = os.path.join(work, "msvc_odd.avi")
        movies.encode(odd, "msvideo1", "160x120", 8, 1.25, (11025, 1, "pcm_u8"))
        hdrl, movi = movies.movie_parts(odd)
        movi = [(c, d[:-1] if c[2:] == b"wb" and len(d) % 2 == 0 else d) for c, d in movi]
        open(odd, "wb").write(movies.build(hdrl, movi, index=False, records=True))
        cases.append(("msvc_odd.avi", "rgb555le", 160, 120, "pcm_u8"))
        movies.msvc8_movie(os.path.join(work, "msvc8.avi"), 7)
        cases.append(("msvc8.avi", "pal8", 64, 48, None))
        movies.cinepak_movie(os.path.join(work, "cvid_built.avi"), 11)
        cases.append(("cvid_built.avi", "rgb24", 96, 64, None))
        # A height that is no multiple of 4, and a strip starting inside a block row.
        movies.cinepak_movie(os.path.join(work, "cvid_odd.avi"), 4, width=96, height=30, frames=4, heights=(6, 24))
        cases.append(("cvid_odd.avi", "rgb24", 96, 30, None))

        device_work = None
        if args.device:
            device_work = os.path.join(work, "device")
            shutil.copytree(args.device, device_work)
            shutil.copy(os.path.join(args.device, "TavrinW.exe"), os.path.join(device_work, "VxDump.exe"))
        runner = args.runner.split() if args.runner else []
        for name, pix_fmt, w, h, codec in cases:
            path = os.path.join(work, name)
            source = ffmpeg_frames(path, pix_fmt)
            frames = [(expected(source, pix_fmt, w, h, fmt), fmt) for fmt in FORMATS]
            sound = ffmpeg_sound(path, codec) if codec else b""
            out = path + ".native"
            r = subprocess.run(runner + [args.dump, path, out] + FORMATS, capture_output=True, text=True)
            if r.returncode != 0:
                failures.append("%s: native dump failed: %s" % (name, r.stdout + r.stderr))
            else:
                problem = compare(name + " (native)", open(out, "rb").read(), frames, sound)
                if problem:
                    failures.append(problem)
            if device_work:
                shutil.copy(path, os.path.join(device_work, name))
                env = dict(os.environ, DEVICE_ROOT=device_work, DEVICE_MSGBOX_LOG=os.path.join(device_work, "boxes.txt"))
                r = subprocess.run(runner + ["./VxDump.exe", name, "out.raw"] + FORMATS, cwd=device_work, env=env,
                                   capture_output=True, text=True, timeout=300)
                if r.returncode != 0:
                    log = open(os.path.join(device_work, "trevik.txt"), errors="replace").read()
                    failures.append("%s: translated dump exit %d: %s\n%s" % (name, r.returncode, r.stdout + r.stderr, log))
                else:
                    problem = compare(name + " (translated)", open(os.path.join(device_work, "out.raw"), "rb").read(),
                                      frames, sound)
                    if problem:
                        failures.append(problem)
            print("%s: checked" % name)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("\n".join(failures))
        sys.exit(1)
    print("all movies match ffmpeg")


main()
