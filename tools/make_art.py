#!/usr/bin/env python3
"""Draws the program's icon (res/kavora.ico) and logo (res/logo.bmp, and
res/logo-2x.bmp at twice the size for screens at 200 %).

A silver disc with a blue hub and a yellow lightning bolt, the program's
"flash" mark. The logo is a 256-colour image. The icon holds 256-colour
images at 16 and 32 px, which Windows 9x and NT 4 pick on their displays,
and smooth-edged 32-bit images (colour and alpha, with a mask for systems that
ignore the alpha) at 16, 20, 24, 32, 40, 48 and 64 px, the sizes Windows asks
for at 100 to 200 % and in Explorer's views; the 256 px one is stored as PNG,
as Vista and later read it, to keep it small, and is not used by older
systems. The output is the same bytes at every run. Run it again after
changing the drawing; the outputs are committed.
"""
import math
import struct
import sys
import zlib
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


def disc(width, height, bg, line=1):
    cx, cy = (width - 1) / 2, (height - 1) / 2
    r = min(width, height) / 2 - 1
    px = [[bg] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            d = math.hypot(x - cx, y - cy)
            if d > r:
                continue
            if d > r - line:
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


# Drawn four times as large and averaged down: each pixel's alpha is the share
# of its area the drawing covers, its colour the mean of what covers it.
SUPERSAMPLE = 4


def smooth(size):
    n = SUPERSAMPLE
    # The outline stays about as heavy, relative to the disc, at every size.
    line = max(1, round(size / 40)) * n
    big = disc(size * n, size * n, 102, line)
    out = []
    for y in range(size):
        row = []
        for x in range(size):
            cover, r, g, b = 0, 0, 0, 0
            for sy in range(y * n, y * n + n):
                for sx in range(x * n, x * n + n):
                    index = big[sy][sx]
                    if index != 102:
                        pr, pg, pb = PALETTE[index]
                        cover, r, g, b = cover + 1, r + pr, g + pg, b + pb
            if cover:
                half = cover // 2
                row.append(((r + half) // cover, (g + half) // cover, (b + half) // cover,
                            (cover * 255 + n * n // 2) // (n * n)))
            else:
                row.append((0, 0, 0, 0))
        out.append(row)
    return out


def dib_rgba(px):
    # 32-bit colour with alpha, then the mask: systems that do not read the
    # alpha draw what is at least half covered.
    height, width = len(px), len(px[0])
    rows = b"".join(b"".join(struct.pack("<BBBB", b, g, r, a) for r, g, b, a in px[y])
                    for y in reversed(range(height)))
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(rows), 0, 0, 0, 0)
    mstride = ((width + 31) // 32) * 4
    mask = b""
    for y in reversed(range(height)):
        row = bytearray(mstride)
        for x in range(width):
            if px[y][x][3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    return header + rows + mask


def png(px):
    # No time or text chunks; fixed compression: the same bytes every run.
    height, width = len(px), len(px[0])
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in px)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def write_bmp(path, px):
    body = dib(px, False)
    offset = 14 + 40 + 256 * 4
    path.write_bytes(b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, offset) + body)


def write_ico(path, palette_images, rgba_images):
    # Each image with its bits per pixel and its bytes; a size of 256 is
    # written 0 in the directory's one-byte fields.
    images = [(px, 8, dib(px, True)) for px in palette_images]
    images += [(px, 32, png(px) if len(px) == 256 else dib_rgba(px)) for px in rgba_images]
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for px, bits, blob in images:
        h, w = len(px) % 256, len(px[0]) % 256
        entries += struct.pack("<BBBBHHII", w, h, 0, 0, 1, bits, len(blob), offset)
        offset += len(blob)
        blobs += blob
    path.write_bytes(head + entries + blobs)


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent
    res = root / "res"
    write_bmp(res / "logo.bmp", disc(97, 67, 0))
    write_bmp(res / "logo-2x.bmp", disc(194, 134, 0))
    write_ico(res / "kavora.ico", [disc(32, 32, 102), disc(16, 16, 102)],
              [smooth(size) for size in (16, 20, 24, 32, 40, 48, 64, 256)])


if __name__ == "__main__":
    main()
