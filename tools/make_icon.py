#!/usr/bin/env python3
"""Writes windows/VORTikaMonitor.ico: the status glyph in green on white, 48 x 48,
6 pixels per cell, one 32-bit image, every pixel opaque."""
import struct
import sys
from pathlib import Path

GLYPH = [
    (0, 1, 2, 5, 6, 7),
    (0, 2, 5, 7),
    (0, 1, 2, 5, 6, 7),
    (3, 4),
    (3, 4, 5),
    (0, 1, 2, 4),
    (0, 2, 6, 7),
    (0, 1, 2),
]
SIZE = 48
CELL = SIZE // 8
GREEN = (0, 128, 0)
WHITE = (255, 255, 255)


def pixel(x, y):
    return GREEN if (x // CELL) in GLYPH[y // CELL] else WHITE


def icon_bytes():
    # BMP rows run bottom to top, pixels as B, G, R, A.
    xor = bytearray()
    for y in reversed(range(SIZE)):
        for x in range(SIZE):
            r, g, b = pixel(x, y)
            xor += bytes((b, g, r, 255))
    and_stride = (SIZE + 31) // 32 * 4
    and_mask = bytes(and_stride * SIZE)  # all 0: opaque
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + bytes(xor) + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "app" / "VORTikaMonitor.ico"
    out.write_bytes(icon_bytes())


if __name__ == "__main__":
    main()
