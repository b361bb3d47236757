#!/usr/bin/env python3
"""Packs the program's icon pictures (PNG, 16, 32 and 48 pixels) into an .ico file for DEFAULT_ICON.

The pictures are the window program's own (platform/linux/qt_window/icons), so both front ends show
the same icon. Each image is stored as a 32-bit bitmap with alpha and a mask, which every Windows
shows. Reads non-interlaced 8-bit RGB or RGBA PNG files; Python standard library only:
    pack_icon.py -o lumaclip.ico lumaclip-16.png lumaclip-32.png lumaclip-48.png
"""
import argparse
import struct
import zlib
from pathlib import Path

SIZES = (16, 32, 48)


def read_png(path):
    """Rows of (r, g, b, a) from a non-interlaced 8-bit RGB or RGBA PNG."""
    data = Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG file")
    position, idat, header = 8, b"", None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        position += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour_type, _, _, interlace = header
    if depth != 8 or colour_type not in (2, 6) or interlace:
        raise SystemExit(f"{path}: only 8-bit RGB/RGBA non-interlaced PNG files are read")
    channels = 4 if colour_type == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    rows, offset = [], 0
    for _ in range(height):
        kind, line = raw[offset], bytearray(raw[offset + 1:offset + 1 + stride])
        offset += 1 + stride
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            up_left = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - up_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else up_left)
                line[i] = (line[i] + predictor) & 0xFF
        previous = line
        rows.append([tuple(line[i:i + channels]) + ((255,) if channels == 3 else ())
                     for i in range(0, stride, channels)])
    if width != height:
        raise SystemExit(f"{path}: the picture must be square")
    return rows


def bitmap_entry(rows):
    """The image as an icon directory's bitmap: header, BGRA rows bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + colour + bytes(mask)


def write_icon(images, output):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, bodies = b"", b""
    for rows in images:
        body = bitmap_entry(rows)
        size = len(rows)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(body), offset)
        bodies += body
        offset += len(body)
    Path(output).write_bytes(directory + entries + bodies)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-o", "--output", required=True)
    parser.add_argument("pictures", nargs="+", help="PNG pictures, one per size")
    arguments = parser.parse_args()
    images = sorted((read_png(p) for p in arguments.pictures), key=len)
    sizes = [len(rows) for rows in images]
    if sizes != list(SIZES):
        raise SystemExit(f"need pictures of {SIZES} pixels, got {sizes}")
    write_icon(images, arguments.output)


if __name__ == "__main__":
    main()
