#!/usr/bin/env python3
"""Draws the application icon, resources/app.ico: one 32 by 32 image at 24 bits.

A white speech bubble holding three green lines of text, over a marsh-green ground, with a
magenta quill across the corner. Run it again after changing the drawing; the output is
committed so that a build needs no Python.
"""
import math
import struct
import sys

SIZE = 32
MARSH_TOP = (28, 92, 84)
MARSH_BOTTOM = (14, 52, 40)
BUBBLE = (250, 250, 246)
OUTLINE = (20, 30, 28)
TEXT = (0, 160, 0)
QUILL = (255, 0, 255)
QUILL_SHAFT = (120, 0, 120)


def blend(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def inside_bubble(x, y):
    # A rounded rectangle from (3, 3) to (28, 20) with a tail down to (7, 26).
    left, top, right, bottom, radius = 3, 3, 28, 20, 4
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius and left <= x <= right and top <= y <= bottom:
        return True
    return 21 <= y <= 26 and 6 <= x <= 12 - (y - 21) and x >= 6


def draw():
    pixels = [[blend(MARSH_TOP, MARSH_BOTTOM, y / (SIZE - 1)) for x in range(SIZE)] for y in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            if inside_bubble(x, y):
                edge = any(not inside_bubble(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                pixels[y][x] = OUTLINE if edge else BUBBLE
    for y, (start, end) in zip((8, 12, 16), ((7, 24), (7, 21), (7, 16))):
        for x in range(start, end + 1):
            pixels[y][x] = TEXT
    # The quill: a shaft from the nib at (15, 30) up to (30, 12), its vane on the upper side.
    nib, tip = (15.0, 30.0), (30.0, 12.0)
    dx, dy = tip[0] - nib[0], tip[1] - nib[1]
    length = math.hypot(dx, dy)
    for y in range(SIZE):
        for x in range(SIZE):
            t = ((x - nib[0]) * dx + (y - nib[1]) * dy) / (length * length)
            side = ((x - nib[0]) * dy - (y - nib[1]) * dx) / length  # negative: upper left
            if not 0.0 <= t <= 1.0:
                continue
            if abs(side) < 0.6:
                pixels[y][x] = QUILL_SHAFT
            elif t > 0.3 and 0 < -side <= 3.4 * math.sin(math.pi * (t - 0.3) / 0.7):
                pixels[y][x] = QUILL
    return pixels


def encode(pixels):
    row_bytes = SIZE * 3  # 96, already a multiple of four
    mask_row_bytes = 4  # 32 one-bit pixels
    image = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    for y in reversed(range(SIZE)):  # rows bottom-up
        image += b"".join(struct.pack("BBB", b, g, r) for r, g, b in pixels[y])
    image += b"\0" * (mask_row_bytes * SIZE)  # AND mask: every pixel opaque
    assert len(image) == 40 + row_bytes * SIZE + mask_row_bytes * SIZE
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return header + entry + image


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else "resources/app.ico"
    with open(target, "wb") as out:
        out.write(encode(draw()))
