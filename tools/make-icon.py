#!/usr/bin/env python3
"""Draws the program icon (the shapes of packaging/vestrel.svg) into a Windows icon file with
16, 24, 32, 48, 64 and 256 pixel images, each a PNG, without any imaging library.
    tools/make-icon.py packaging/windows/vestrel.ico
"""
import math
import struct
import sys
import zlib

BLUE = (0x1D, 0x4F, 0x73)
LIGHT = (0xE8, 0xF1, 0xF7)
AMBER = (0xF2, 0xB1, 0x34)


def in_rounded_rect(x, y, x0, y0, w, h, r):
    cx = min(max(x, x0 + r), x0 + w - r)
    cy = min(max(y, y0 + r), y0 + h - r)
    return x0 <= x <= x0 + w and y0 <= y <= y0 + h and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def colour_at(x, y):
    """The colour of the 128-unit drawing at (x, y), or None outside it; later shapes on top."""
    colour = None
    if in_rounded_rect(x, y, 8, 8, 112, 112, 20):
        colour = BLUE
    else:
        return None
    if abs(math.hypot(x - 64, y - 58) - 30) <= 3:
        colour = LIGHT
    if (abs(x - 64) <= 2 and 28 <= y <= 88) or (abs(y - 58) <= 2 and 34 <= x <= 94):
        colour = LIGHT
    if in_triangle(x, y, (44, 100), (84, 100), (64, 86)):
        colour = AMBER
    if abs(x - 64) <= 3 and 66 <= y <= 86:
        colour = AMBER
    return colour


def render(size, samples=4):
    rows = []
    for py in range(size):
        row = bytearray([0])  # PNG filter type 0
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * 128 / size
                    y = (py + (sy + 0.5) / samples) * 128 / size
                    c = colour_at(x, y)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            n = samples * samples
            row += bytes([r // a, g // a, b // a, 255 * a // n] if a else [0, 0, 0, 0])
        rows.append(bytes(row))
    return png(size, b"".join(rows))


def png(size, raw):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    sizes = [16, 24, 32, 48, 64, 256]
    images = [render(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
