#!/usr/bin/env python3
"""Draws the program's icon (DEFAULT_ICON) as 16, 32 and 48 pixel PNG files next to this script.

The picture: a coral-to-rose rounded square with a white play mark and, from 32 pixels up, a
timeline bar under it. Plain Python (zlib only), so it runs on any machine with python3:
    python3 make_icons.py
"""
import os
import struct
import zlib

SAMPLES = 8  # per axis and pixel, for smooth edges

TOP = (255, 112, 67)  # coral
BOTTOM = (214, 36, 94)  # rose
OUTLINE = (150, 20, 60)
WHITE = (255, 255, 255)


def rounded_square(x, y, inset, radius):
    """True when (x, y), in units of the icon's side, lies in the rounded square."""
    lo, hi = inset, 1.0 - inset
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def play_mark(x, y, size):
    # A triangle pointing right, its centre of mass slightly right of the middle.
    if size >= 32:
        left, right, top, bottom = 0.38, 0.72, 0.24, 0.62
    else:
        left, right, top, bottom = 0.36, 0.74, 0.24, 0.76
    if x < left or x > right:
        return False
    middle = (top + bottom) / 2
    half = (bottom - top) / 2 * (right - x) / (right - left)
    return middle - half <= y <= middle + half


def timeline(x, y, size):
    if size < 32:
        return False
    return 0.24 <= x <= 0.76 and 0.72 <= y <= 0.79


def pixel(px, py, size):
    """Returns (r, g, b, a) of one pixel, averaged over SAMPLES x SAMPLES points."""
    inset = 0.5 / size
    outline_width = 1.0 / size
    radius = 0.22
    sums = [0.0, 0.0, 0.0, 0.0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / size
            y = (py + (sy + 0.5) / SAMPLES) / size
            if not rounded_square(x, y, inset, radius):
                continue
            if not rounded_square(x, y, inset + outline_width, radius - outline_width):
                colour = OUTLINE
            elif play_mark(x, y, size) or timeline(x, y, size):
                colour = WHITE
            else:
                t = (y - inset) / (1.0 - 2 * inset)
                colour = tuple(a + (b - a) * t for a, b in zip(TOP, BOTTOM))
            for i in range(3):
                sums[i] += colour[i]
            sums[3] += 1
    if sums[3] == 0:
        return (0, 0, 0, 0)
    alpha = sums[3] / (SAMPLES * SAMPLES)
    return tuple(round(c / sums[3]) for c in sums[:3]) + (round(alpha * 255),)


def png(size):
    rows = b""
    for py in range(size):
        rows += b"\x00" + b"".join(bytes(pixel(px, py, size)) for px in range(size))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    for size in (16, 32, 48):
        with open(os.path.join(folder, f"lumaclip-{size}.png"), "wb") as out:
            out.write(png(size))


if __name__ == "__main__":
    main()
