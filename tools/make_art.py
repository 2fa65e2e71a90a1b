#!/usr/bin/env python3
"""Draws the program's icon (res/kavora.ico) and logo (res/logo.bmp, and
res/logo-2x.bmp at twice the size for screens at 200 %).

Both are 256-colour images: a silver disc with a blue hub and a yellow
lightning bolt, the program's "flash" mark. Run it again after changing the
drawing; the outputs are committed.
"""
import math
import struct
import sys
from pathlib import Path

# Palette: 0 background, then greys for the disc, blues, yellow, dark outline.
PALETTE = [(0, 0, 0)] * 256
PALETTE[0] = (236, 233, 216)            # dialog face
for i in range(1, 65):                  # disc greys, light to dark
    v = 250 - i * 2
    PALETTE[i] = (v, v, min(255, v + 6))
for i in range(65, 97):                 # hub blues
    t = i - 65
    PALETTE[i] = (20 + t * 2, 60 + t * 3, 150 + t * 3)
PALETTE[100] = (255, 214, 0)            # bolt
PALETTE[101] = (40, 40, 48)             # outline
PALETTE[102] = (0, 0, 0)                # icon transparent key


def disc(width, height, bg):
    cx, cy = (width - 1) / 2, (height - 1) / 2
    r = min(width, height) / 2 - 1
    px = [[bg] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            d = math.hypot(x - cx, y - cy)
            if d > r:
                continue
            if d > r - 1:
                px[y][x] = 101
            elif d > r * 0.32:
                ang = math.atan2(y - cy, x - cx)
                shade = int(32 + 28 * math.sin(ang * 2 + d / r * 3))
                px[y][x] = max(1, min(64, shade))
            elif d > r * 0.14:
                px[y][x] = 65 + int((d / r) * 60) % 32
            else:
                px[y][x] = bg
    # Lightning bolt across the disc.
    bolt = [(0.58, 0.05), (0.30, 0.52), (0.50, 0.52), (0.40, 0.95), (0.72, 0.40), (0.52, 0.40)]
    poly = [(bx * width, by * height) for bx, by in bolt]
    for y in range(height):
        for x in range(width):
            if inside(poly, x + 0.5, y + 0.5):
                px[y][x] = 100
    return px


def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def dib(px, with_mask):
    height, width = len(px), len(px[0])
    stride = (width + 3) & ~3
    rows = b"".join(bytes(px[y]) + b"\0" * (stride - width) for y in reversed(range(height)))
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    h = height * 2 if with_mask else height
    header = struct.pack("<IiiHHIIiiII", 40, width, h, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    data = header + pal + rows
    if with_mask:
        mstride = ((width + 31) // 32) * 4
        mask = b""
        for y in reversed(range(height)):
            bits = 0
            row = bytearray(mstride)
            for x in range(width):
                if px[y][x] == 102:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(row)
        data += mask
    return data


def write_bmp(path, px):
    body = dib(px, False)
    offset = 14 + 40 + 256 * 4
    path.write_bytes(b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, offset) + body)


def write_ico(path, images):
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for px in images:
        blob = dib(px, True)
        h, w = len(px), len(px[0])
        entries += struct.pack("<BBBBHHII", w, h, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
        blobs += blob
    path.write_bytes(head + entries + blobs)


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent
    res = root / "res"
    write_bmp(res / "logo.bmp", disc(97, 67, 0))
    write_bmp(res / "logo-2x.bmp", disc(194, 134, 0))
    write_ico(res / "kavora.ico", [disc(32, 32, 102), disc(16, 16, 102)])


if __name__ == "__main__":
    main()
