#!/usr/bin/env python3
"""Draws the program icon, tintmark.ico: a sheet of text lines with one word
picked out by a marker stripe, at 16x16 and 32x32, 32-bit colour with alpha.

Run from anywhere: python3 res/make_icon.py. Standard library only."""
import os
import struct

PAPER = (250, 250, 246, 255)
EDGE = (70, 80, 100, 255)
INK = (120, 130, 150, 255)
MARK = (230, 60, 40, 255)
MARK_INK = (255, 255, 255, 255)
CLEAR = (0, 0, 0, 0)


def draw(n):
    """Returns n rows of n RGBA tuples, top row first."""
    px = [[CLEAR] * n for _ in range(n)]
    s = n / 32.0  # the drawing below is laid out on a 32x32 grid

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(round(y0 * s)), int(round(y1 * s))):
            for x in range(int(round(x0 * s)), int(round(x1 * s))):
                if 0 <= x < n and 0 <= y < n:
                    px[y][x] = colour

    # The sheet with its outline and a folded top-right corner.
    rect(4, 1, 28, 31, EDGE)
    rect(5, 2, 27, 30, PAPER)
    for i in range(6):
        rect(27 - i, 1, 28, 2 + i, CLEAR)
    rect(22, 2, 23, 7, EDGE)
    rect(22, 7, 27, 8, EDGE)
    # Lines of text.
    for y in (10, 14, 22, 26):
        rect(8, y, 24 if y != 26 else 18, y + 2, INK)
    # The decorated keyword: a bold stripe in the marker colour.
    rect(7, 17, 25, 21, MARK)
    rect(10, 18, 14, 20, MARK_INK)
    rect(16, 18, 22, 20, MARK_INK)
    return px


def shrink(rows):
    """Halves an image by averaging 2x2 blocks, so thin lines stay visible."""
    n = len(rows) // 2
    out = []
    for y in range(n):
        row = []
        for x in range(n):
            block = [rows[2 * y + j][2 * x + i] for j in (0, 1) for i in (0, 1)]
            alpha = sum(p[3] for p in block)
            if alpha == 0:
                row.append(CLEAR)
                continue
            rgb = tuple(sum(p[c] * p[3] for p in block) // alpha for c in range(3))
            row.append(rgb + (255 if alpha >= 510 else 0,))
        out.append(row)
    return out


def bmp_entry(n):
    rows = draw(32) if n == 32 else shrink(draw(32))
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_row = ((n + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def main():
    sizes = (16, 32)
    images = [bmp_entry(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tintmark.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
