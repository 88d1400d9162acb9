"""Looks at a screenshot of the device's window (a 24-bit BMP).

  shot.py size FILE                 prints WIDTHxHEIGHT
  shot.py check FILE X,Y=R,G,B ...  each colour within 8 per channel, else exit 1
  shot.py lowest-dark FILE X        the lowest row whose pixel in column X is dark
"""
import struct
import sys


def load(path):
    data = open(path, "rb").read()
    assert data[:2] == b"BM", "not a BMP"
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _planes, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits in (24, 32), bits
    step = bits // 8
    stride = (width * step + 3) & ~3

    def pixel(x, y):
        row = height - 1 - y if height > 0 else y
        at = offset + row * stride + step * x
        b, g, r = data[at:at + 3]
        return r, g, b

    return width, abs(height), pixel


def main():
    command, path = sys.argv[1], sys.argv[2]
    width, height, pixel = load(path)
    if command == "size":
        print("%dx%d" % (width, height))
    elif command == "check":
        bad = []
        for check in sys.argv[3:]:
            where, colour = check.split("=")
            x, y = (int(v) for v in where.split(","))
            want = tuple(int(v) for v in colour.split(","))
            got = pixel(x, y) if x < width and y < height else None
            if got is None or any(abs(a - b) > 8 for a, b in zip(got, want)):
                bad.append("(%d, %d): %s, expected %s" % (x, y, got, want))
        if bad:
            print("\n".join(bad))
            sys.exit(1)
    elif command == "lowest-dark":
        x = int(sys.argv[3])
        for y in range(height - 1, -1, -1):
            if sum(pixel(x, y)) < 96:
                print(y)
                return
        sys.exit(1)


main()
