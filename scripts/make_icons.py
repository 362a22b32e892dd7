#!/usr/bin/env python3
"""Draws Kelmory's icons and writes them as ICO and PNG files.

The mark is a white bell curve over a baseline on a blue tile, with the mean
drawn as a gold line: what the program is about, readable at 16 pixels. The
credits window has its own small mark, a white "i" on a green disc.

Run from the repository root: python3 scripts/make_icons.py
"""
import math
import struct
import zlib

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLUE = (28, 60, 160)
WHITE = (255, 255, 255)
GOLD = (255, 204, 51)
GREEN = (36, 130, 70)


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy or 1)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def render(size, shade):
    """Supersamples shade(x, y) -> (r, g, b, a) over the unit square."""
    n = 4
    image = []
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sj in range(n):
                for si in range(n):
                    r, g, b, a = shade((i + (si + 0.5) / n) / size, (j + (sj + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / (n * n)
            if a > 0:
                row.append(tuple(int(round(c / acc[3])) for c in acc[:3]) + (int(round(a * 255)),))
            else:
                row.append((0, 0, 0, 0))
        image.append(row)
    return image


BASE, HEIGHT, SPREAD = 0.80, 0.58, 0.15
CORNER = 0.18
STROKE = 0.055  # half the width of the curve's line


def curve(u):
    return BASE - HEIGHT * math.exp(-((u - 0.5) / SPREAD) ** 2 / 2)


# The curve as a polyline from u = 0.1 to 0.9, shared by the bitmaps and the SVG.
CURVE_POINTS = [(0.1 + 0.8 * k / 48, curve(0.1 + 0.8 * k / 48)) for k in range(49)]
CURVE_SEGMENTS = list(zip(CURVE_POINTS, CURVE_POINTS[1:]))


def main_mark(x, y):
    r = CORNER
    inside = (0.03 <= x <= 0.97 and 0.03 <= y <= 0.97)
    cx, cy = min(max(x, 0.03 + r), 0.97 - r), min(max(y, 0.03 + r), 0.97 - r)
    if not inside or math.hypot(x - cx, y - cy) > r:
        return (0, 0, 0, 0)
    if abs(x - 0.5) < 0.045 and curve(0.5) + 0.06 < y < BASE:
        return GOLD + (1.0,)
    near = any(min(ax, bx) - STROKE < x < max(ax, bx) + STROKE and
               min(ay, by) - STROKE < y < max(ay, by) + STROKE and
               seg_dist(x, y, ax, ay, bx, by) < STROKE
               for (ax, ay), (bx, by) in CURVE_SEGMENTS)
    if near or (abs(y - BASE) < 0.04 and 0.1 < x < 0.9):
        return WHITE + (1.0,)
    return BLUE + (1.0,)


def main_mark_svg():
    """The same mark as scalable vector art, on a 256-unit square."""
    u = lambda v: f"{v * 256:.2f}".rstrip("0").rstrip(".")
    hexcolour = lambda c: "#%02x%02x%02x" % c
    points = " ".join(f"{u(x)},{u(y)}" for x, y in CURVE_POINTS)
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <rect x="{u(0.03)}" y="{u(0.03)}" width="{u(0.94)}" height="{u(0.94)}" rx="{u(CORNER)}" fill="{hexcolour(BLUE)}"/>
  <polyline points="{points}" fill="none" stroke="{hexcolour(WHITE)}" stroke-width="{u(2 * STROKE)}" stroke-linecap="round" stroke-linejoin="round"/>
  <rect x="{u(0.1)}" y="{u(BASE - 0.04)}" width="{u(0.8)}" height="{u(0.08)}" fill="{hexcolour(WHITE)}"/>
  <rect x="{u(0.5 - 0.045)}" y="{u(curve(0.5) + 0.06)}" width="{u(0.09)}" height="{u(BASE - curve(0.5) - 0.06)}" fill="{hexcolour(GOLD)}"/>
</svg>
"""


def credits_mark(x, y):
    d = math.hypot(x - 0.5, y - 0.5)
    if d > 0.47:
        return (0, 0, 0, 0)
    if math.hypot(x - 0.5, y - 0.27) < 0.085 or (abs(x - 0.5) < 0.075 and 0.42 < y < 0.80):
        return WHITE + (1.0,)
    return GREEN + (1.0,)


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda k: sum((a - b) ** 2 for a, b in zip(colour, palette[k])))


def dib(image, bits):
    size = len(image)
    mask_rows = []
    for row in reversed(image):
        bitsrow = 0
        out = bytearray()
        for i, px in enumerate(row):
            bitsrow = (bitsrow << 1) | (1 if px[3] < 128 and bits != 32 else 0)
            if i % 8 == 7:
                out.append(bitsrow)
                bitsrow = 0
        while len(out) % 4:
            out.append(0)
        mask_rows.append(bytes(out))
    palette = []
    if bits == 4:
        palette = VGA16
    elif bits == 8:
        palette = sorted({(r // 51 * 51, g // 51 * 51, b // 51 * 51)
                          for row in image for (r, g, b, a) in row if a >= 128} | {(0, 0, 0)})
        palette += [(0, 0, 0)] * (256 - len(palette))
    pixel_rows = []
    for row in reversed(image):
        out = bytearray()
        if bits == 32:
            for r, g, b, a in row:
                out += bytes((b, g, r, a))
        else:
            indices = [0 if a < 128 else nearest((r, g, b), palette) for r, g, b, a in row]
            if bits == 8:
                out += bytes(indices)
            else:
                for k in range(0, size, 2):
                    out.append((indices[k] << 4) | indices[k + 1])
        while len(out) % 4:
            out.append(0)
        pixel_rows.append(bytes(out))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         sum(map(len, pixel_rows)) + sum(map(len, mask_rows)), 0, 0,
                         len(palette), 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + b"".join(pixel_rows) + b"".join(mask_rows)


def write_ico(path, entries):
    blobs = [(size, bits, dib(image, bits)) for size, bits, image in entries]
    offset = 6 + 16 * len(blobs)
    head = struct.pack("<HHH", 0, 1, len(blobs))
    directory = b""
    for size, bits, blob in blobs:
        colours = 16 if bits == 4 else 0
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits,
                                 len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(head + directory + b"".join(blob for _, _, blob in blobs))


def write_png(path, image):
    size = len(image)
    raw = b"".join(b"\0" + b"".join(bytes(px) for px in row) for row in image)
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    images = {size: render(size, main_mark) for size in (16, 32, 48, 64, 128, 256)}
    write_ico("app/kelmory.ico",
              [(size, bits, images[size]) for size in (48, 32, 16) for bits in (4, 8, 32)])
    # Desktops: the three window sizes and the larger ones software centres show.
    for size, image in images.items():
        write_png(f"app/icons/kelmory-{size}.png", image)
    with open("app/icons/kelmory.svg", "w") as f:
        f.write(main_mark_svg())
    write_ico("credits/credits.ico", [(16, 8, render(16, credits_mark))])
