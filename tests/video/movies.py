"""Test movies for the video library, made at test time: ffmpeg's own
encoders on its synthetic sources, rewritten into the container variants
the reader must handle, and hand-built streams for what ffmpeg's encoders
never emit (8-bit Microsoft Video 1 with palette changes; Cinepak with
selective codebook updates, grey codebooks, V1-only blocks and several
strips). Nothing here is committed as a file."""
import random
import struct
import subprocess


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", *args], check=True)


def encode(path, codec, size, rate, seconds, sound=None):
    """sound: (sample rate, channels, 'pcm_u8' or 'pcm_s16le') or None."""
    args = ["-f", "lavfi", "-i", "testsrc=size=%s:rate=%d:duration=%g" % (size, rate, seconds)]
    if sound:
        args += ["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=%d:duration=%g" % (sound[0], seconds)]
        args += ["-ac", str(sound[1]), "-c:a", sound[2]]
    ffmpeg(*args, "-c:v", codec, path)


# --- RIFF pieces -------------------------------------------------------------

def chunk(cid, data):
    return cid + struct.pack("<I", len(data)) + data + (b"\0" if len(data) & 1 else b"")


def lst(kind, body):
    return chunk(b"LIST", kind + body)


def read_chunks(data, at, end):
    """(id, body) pairs of a chunk run."""
    out = []
    while at + 8 <= end:
        cid, size = data[at:at + 4], struct.unpack_from("<I", data, at + 4)[0]
        out.append((cid, data[at + 8:at + 8 + size]))
        at += 8 + size + (size & 1)
    return out


def movie_parts(path):
    """The header list's body and the movie chunks (id, data), 'rec ' lists flattened."""
    data = open(path, "rb").read()
    hdrl, movi = None, []
    for cid, body in read_chunks(data, 12, len(data)):
        if cid == b"LIST" and body[:4] == b"hdrl":
            hdrl = body[4:]
        elif cid == b"LIST" and body[:4] == b"movi":
            for mid, mbody in read_chunks(body, 4, len(body)):
                if mid == b"LIST":
                    movi += [c for c in read_chunks(mbody, 4, len(mbody))]
                elif mid[:2].isdigit():
                    movi.append((mid, mbody))
    return hdrl, movi


def build(hdrl, movi, index=True, records=False, junk=False, absolute_index=False):
    """An AVI from a header list body and movie chunks: with or without
    'idx1', video and sound grouped in 'rec ' lists, JUNK and unknown
    chunks between the movie chunks."""
    body, entries = b"", []
    groups = []
    for cid, data in movi:
        if records and groups and cid[2:] == b"wb" and len(groups[-1]) == 1:
            groups[-1].append((cid, data))
        else:
            groups.append([(cid, data)])
    for group in groups:
        if junk:
            body += chunk(b"JUNK", b"\xAA" * 5) + chunk(b"zzzz", b"unknown")
        inner = b""
        for cid, data in group:
            offset = 4 + len(body) + (12 if records else 0) + len(inner)
            entries.append((cid, 0x10 if cid[2:] in (b"dc", b"db") and is_key(cid, data) else 0, offset, len(data)))
            inner += chunk(cid, data)
        body += lst(b"rec ", inner) if records else inner
    movi_list = lst(b"movi", body)
    head = lst(b"hdrl", hdrl)
    out = head + chunk(b"JUNK", b"\0" * 12) + movi_list
    if index:
        movi_at = 12 + len(head) + 20 + 8  # the 'movi' type word
        idx = b"".join(struct.pack("<4sIII", c, f, o + (movi_at if absolute_index else 0), s)
                       for c, f, o, s in entries)
        out += chunk(b"idx1", idx)
    return b"RIFF" + struct.pack("<I", len(out) + 4) + b"AVI " + out


def is_key(cid, data):
    return True if not data else data[10:11] == b"\x10" if len(data) > 10 else True


# --- hand-built streams ------------------------------------------------------

def stream_headers(width, height, bits, handler, compression, frames, palette=b"", rate=10):
    avih = struct.pack("<IIIIIIIIii16x", 1000000 // rate, 0, 0, 0x10, frames, 0, 1, 0, width, height)
    strh = struct.pack("<4s4sIHHIIIIIIIIhhhh", b"vids", handler, 0, 0, 0, 0, 1, rate, 0, frames, 0, 0xFFFFFFFF, 0,
                       0, 0, min(width, 32767), min(abs(height), 32767))
    colours = len(palette) // 4
    strf = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, struct.unpack("<I", compression)[0],
                       0, 0, 0, colours, 0) + palette
    return chunk(b"avih", avih) + lst(b"strl", chunk(b"strh", strh) + chunk(b"strf", strf))


def msvc8_movie(path, seed, width=64, height=48, frames=12, stored_height=None):
    """8-bit Microsoft Video 1: random one-, two- and eight-colour blocks and
    skips, a 200-colour table, and palette changes before some frames.
    stored_height: the height the header gives, when not `height`."""
    rnd = random.Random(seed)
    palette = bytes(rnd.randrange(256) if i % 4 != 3 else 0 for i in range(200 * 4))
    movi, blocks = [], (width // 4) * (height // 4)
    for f in range(frames):
        if f in (3, 7):
            first, count = rnd.randrange(0, 100), rnd.randrange(1, 100)
            entries = bytes(rnd.randrange(256) if i % 4 != 3 else 0 for i in range(count * 4))
            movi.append((b"00pc", struct.pack("<BBH", first, count, 0) + entries))
        out, left = b"", blocks
        while left:
            kind = rnd.randrange(4) if f else rnd.randrange(3)
            if kind == 3:  # skip
                n = min(left, rnd.randrange(1, 5))
                out += struct.pack("<BB", n & 0xFF, 0x84 + (n >> 8))
                left -= n
                continue
            if kind == 0:
                out += bytes([rnd.randrange(200), 0x80 + rnd.choice([0, 1, 2, 3, 8, 9, 15])])
            elif kind == 1:
                out += bytes([rnd.randrange(256), rnd.randrange(0x80)]) + bytes(rnd.randrange(200) for _ in range(2))
            else:
                out += bytes([rnd.randrange(256), rnd.randrange(0x90, 0x100)]) + bytes(rnd.randrange(200) for _ in range(8))
            left -= 1
        movi.append((b"00dc", out))
    hdrl = stream_headers(width, height if stored_height is None else stored_height, 8, b"CRAM", b"CRAM", frames,
                          palette)
    open(path, "wb").write(build(hdrl, movi))


def cinepak_movie(path, seed, width=96, height=64, frames=10, heights=(16, 32, 16)):
    """Cinepak with every chunk kind: full and selective codebooks in colour
    and grey, intra, inter and V1-only blocks, three strips, frames with and
    without codebooks carried from the strip above."""
    rnd = random.Random(seed)

    def entries(n, grey):
        return b"".join(bytes(rnd.randrange(256) for _ in range(4 if grey else 6)) for _ in range(n))

    def codebook(v1, selective, grey):
        cid = (0x22 if v1 else 0x20) | (1 if selective else 0) | (4 if grey else 0)
        if not selective:
            body = entries(256, grey)
        else:
            body = b""
            for _ in range(8):
                mask = rnd.getrandbits(32)
                body += struct.pack(">I", mask) + entries(bin(mask).count("1"), grey)
        return bytes([cid]) + struct.pack(">I", len(body) + 4)[1:] + body

    def vectors(kind, rows):
        blocks = (width // 4) * ((rows + 3) // 4)
        body, bits = b"", []
        data = b""
        for _ in range(blocks):
            if kind == 0x32:
                data += bytes([rnd.randrange(256)])
                continue
            if kind == 0x31:
                coded = rnd.random() < 0.6
                bits.append(coded)
                if not coded:
                    continue
            v4 = rnd.random() < 0.5
            bits.append(v4)
            data += bytes(rnd.randrange(256) for _ in range(4 if v4 else 1))
        # Masks go before the block data they describe, 32 decisions each;
        # rebuilt here in stream order.
        if kind == 0x32:
            body = data
        else:
            body = interleave(kind, blocks, bits, data)
        return bytes([kind]) + struct.pack(">I", len(body) + 4)[1:] + body

    def interleave(kind, blocks, bits, data):
        out, pos, bit, mask_at = bytearray(), 0, 32, None
        decisions = iter(bits)

        def take():
            nonlocal bit, mask_at
            if bit == 32:
                mask_at = len(out)
                out.extend(b"\0\0\0\0")
                bit = 0
            value = next(decisions)
            if value:
                out[mask_at + bit // 8] |= 0x80 >> (bit % 8)
            bit += 1
            return value

        for _ in range(blocks):
            if kind == 0x31 and not take():
                continue
            v4 = take()
            n = 4 if v4 else 1
            out.extend(data[pos:pos + n])
            pos += n
        return bytes(out)

    movi = []
    for f in range(frames):
        key = f == 0 or f == 6
        strips = b""
        for s, rows in enumerate(heights):
            chunks = b""
            if key or rnd.random() < 0.5:
                chunks += codebook(False, not key and rnd.random() < 0.7, rnd.random() < 0.3)
                chunks += codebook(True, not key and rnd.random() < 0.7, rnd.random() < 0.3)
            kind = 0x30 if key else rnd.choice([0x31, 0x31, 0x32])
            chunks += vectors(kind, rows)
            header = bytes([0x10 if key else 0x11]) + struct.pack(">I", len(chunks) + 12)[1:]
            strips += header + struct.pack(">HHHH", 0, 0, rows, width) + chunks
        flags = 0 if key else rnd.choice([0, 1])
        frame = bytes([flags]) + struct.pack(">I", len(strips) + 10)[1:] + struct.pack(">HHH", width, height, len(heights))
        movi.append((b"00dc", frame + strips))
    hdrl = stream_headers(width, height, 24, b"cvid", b"cvid", frames)
    open(path, "wb").write(build(hdrl, movi))
