#!/usr/bin/env python3
"""Draws the program icon (resource 101) and writes it as res/vantlo.ico.

The icon holds two images, 32 x 32 and 16 x 16, each a 256-colour (8 bits
per pixel) bitmap with its transparency mask, as the resource compiler and
every Windows version expect. The picture: a mail envelope lying on a drive
case with a green activity light, the program's idea of "mail as a drive".

Run it again after changing the drawing; the output is deterministic, and the
.ico it writes is committed beside this script.
"""

import os
import struct
import sys

TRANSPARENT = None

# Colours (R, G, B).
CASE_DARK = (38, 60, 92)
CASE = (66, 102, 150)
CASE_LIGHT = (120, 156, 200)
SLOT = (24, 36, 56)
LED = (60, 210, 90)
PAPER = (250, 250, 246)
PAPER_SHADE = (214, 220, 228)
FLAP = (51, 102, 204)
OUTLINE = (20, 30, 46)


def blank(size):
    return [[TRANSPARENT] * size for _ in range(size)]


def fill(img, x0, y0, x1, y1, colour):
    """Fills the rectangle [x0, x1) x [y0, y1)."""
    for y in range(max(0, y0), min(len(img), y1)):
        for x in range(max(0, x0), min(len(img), x1)):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, colour):
    """Draws the one-pixel border of [x0, x1) x [y0, y1)."""
    for x in range(x0, x1):
        img[y0][x] = colour
        img[y1 - 1][x] = colour
    for y in range(y0, y1):
        img[y][x0] = colour
        img[y][x1 - 1] = colour


def line(img, x0, y0, x1, y1, colour):
    """Bresenham line, both ends included."""
    dx, dy = abs(x1 - x0), -abs(y1 - y0)
    sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
    err = dx + dy
    while True:
        img[y0][x0] = colour
        if x0 == x1 and y0 == y1:
            return
        e2 = 2 * err
        if e2 >= dy:
            err += dy
            x0 += sx
        if e2 <= dx:
            err += dx
            y0 += sy


def round_corners(img, x0, y0, x1, y1):
    for x, y in ((x0, y0), (x1 - 1, y0), (x0, y1 - 1), (x1 - 1, y1 - 1)):
        img[y][x] = TRANSPARENT


def draw_32():
    img = blank(32)
    # Drive case along the bottom half.
    fill(img, 2, 15, 30, 29, CASE)
    fill(img, 3, 16, 29, 18, CASE_LIGHT)
    fill(img, 3, 26, 29, 28, CASE_DARK)
    frame(img, 2, 15, 30, 29, OUTLINE)
    round_corners(img, 2, 15, 30, 29)
    fill(img, 6, 22, 20, 24, SLOT)
    fill(img, 24, 21, 27, 24, LED)
    # Envelope resting on top of the case.
    fill(img, 5, 3, 27, 18, PAPER)
    fill(img, 6, 14, 26, 17, PAPER_SHADE)
    frame(img, 5, 3, 27, 18, OUTLINE)
    line(img, 6, 4, 16, 11, FLAP)
    line(img, 25, 4, 16, 11, FLAP)
    line(img, 6, 5, 15, 11, FLAP)
    line(img, 25, 5, 17, 11, FLAP)
    return img


def draw_16():
    img = blank(16)
    fill(img, 1, 8, 15, 15, CASE)
    fill(img, 2, 9, 14, 10, CASE_LIGHT)
    frame(img, 1, 8, 15, 15, OUTLINE)
    round_corners(img, 1, 8, 15, 15)
    fill(img, 3, 12, 9, 13, SLOT)
    fill(img, 11, 11, 13, 13, LED)
    fill(img, 3, 1, 13, 9, PAPER)
    frame(img, 3, 1, 13, 9, OUTLINE)
    line(img, 4, 2, 8, 5, FLAP)
    line(img, 11, 2, 8, 5, FLAP)
    return img


def palette_of(images):
    colours = sorted({c for img in images for row in img for c in row if c is not None})
    if len(colours) > 255:
        sys.exit("too many colours for a 256-colour icon")
    # Index 0 is black, used under transparent pixels (masked out by AND).
    return [(0, 0, 0)] + colours


def image_bytes(img, palette):
    size = len(img)
    index = {c: i for i, c in enumerate(palette)}
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    colours += b"\0\0\0\0" * (256 - len(palette))
    xor_rows, and_rows = [], []
    and_stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):  # bitmaps are stored bottom-up
        row = bytes(0 if c is None else index[c] for c in img[y])
        xor_rows.append(row + b"\0" * ((-len(row)) % 4))
        bits = bytearray(and_stride)
        for x, c in enumerate(img[y]):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(bits))
    return header + colours + b"".join(xor_rows) + b"".join(and_rows)


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "vantlo.ico")
    images = [draw_32(), draw_16()]
    palette = palette_of(images)
    blobs = [image_bytes(img, palette) for img in images]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, blobs):
        size = len(img)
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
    data += b"".join(blobs)
    with open(out, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes, %d colours)" % (out, len(data), len(palette)))


if __name__ == "__main__":
    main()
