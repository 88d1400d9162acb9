"""Checks pixels of the device's screen capture (a 24-bit BMP).

Usage: screen_pixels.py FILE X,Y=R,G,B ...
Each colour may differ by 8 per channel (the screen keeps 5 or 6 bits)."""
import struct
import sys


def main():
    data = open(sys.argv[1], "rb").read()
    assert data[:2] == b"BM", "not a BMP"
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _planes, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits == 24, bits
    stride = (width * 3 + 3) & ~3

    def pixel(x, y):  # rows bottom-up when the height is positive
        row = height - 1 - y if height > 0 else y
        at = offset + row * stride + 3 * x
        b, g, r = data[at:at + 3]
        return r, g, b

    bad = []
    for check in sys.argv[2:]:
        where, colour = check.split("=")
        x, y = (int(v) for v in where.split(","))
        want = tuple(int(v) for v in colour.split(","))
        got = pixel(x, y)
        if any(abs(a - b) > 8 for a, b in zip(got, want)):
            bad.append("(%d, %d): %s, expected %s" % (x, y, got, want))
    if bad:
        print("\n".join(bad))
        sys.exit(1)


main()
