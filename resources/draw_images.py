#!/usr/bin/env python3
"""Draws Varnock's images and writes them next to this script.

Everything is drawn here from code so the pictures can be regenerated exactly:

  logo.jpg, ribbon.jpg           the window's two little pictures
  logo@2x.jpg, ribbon@2x.jpg     the same with twice the pixels each way, for
                                 screens with two device pixels to the logical one
  varnock.ico                    32x32 + 16x16, 16 colours, for Windows
  icon-32.png, icon-16.png       the same icon with alpha, for Linux
  icon-32.bin, icon-16.bin,      raw RT_ICON / RT_GROUP_ICON data for
  icon-group.bin                 varnock.rc (fixed image ids 30001/30002)

Only the JPEGs need ImageMagick (/usr/bin/convert, or $CONVERT); the icon
files are written byte by byte and are identical on every machine.

Usage: draw_images.py [--out DIR] [--no-jpeg]
"""

import argparse
import math
import os
import struct
import subprocess
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = os.environ.get("CONVERT", "/usr/bin/convert")

WHITE = (255, 255, 255)

# The classic 16-colour Windows palette, in its usual order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK_I, GREEN_I, SILVER_I, GREY_I, WHITE_I = 0, 2, 7, 8, 15
TRANSPARENT = None

ICON_IDS = {32: 30001, 16: 30002}


# --- antialiased drawing on a small RGB canvas -----------------------------

class Canvas:
    """RGB pixels; shapes are given as inside(x, y) tests in picture units and
    sampled SS x SS times per pixel for smooth edges. At `scale` 2 the canvas
    has twice the pixels each way and draws the same picture in finer detail
    (the high-density variant)."""

    SS = 6

    def __init__(self, width, height, background=WHITE, scale=1):
        self.scale = scale
        self.width, self.height = width * scale, height * scale
        self.px = [[list(map(float, background)) for _ in range(self.width)]
                   for _ in range(self.height)]

    def fill(self, inside, colour, bbox=None):
        s = self.scale
        x0, y0, x1, y1 = [v * s for v in bbox] if bbox else (0, 0, self.width, self.height)
        n = self.SS
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                hits = sum(inside((x + (i + 0.5) / n) / s, (y + (j + 0.5) / n) / s)
                           for j in range(n) for i in range(n))
                if hits:
                    a = hits / (n * n)
                    p = self.px[y][x]
                    for c in range(3):
                        p[c] += (colour[c] - p[c]) * a

    def put(self, x, y, colour):
        """Colours the picture's pixel (x, y): scale x scale canvas pixels."""
        for dy in range(self.scale):
            for dx in range(self.scale):
                self.px[y * self.scale + dy][x * self.scale + dx] = list(map(float, colour))

    def ppm(self):
        data = bytearray(b"P6\n%d %d\n255\n" % (self.width, self.height))
        for row in self.px:
            for p in row:
                data += bytes(min(255, max(0, round(c))) for c in p)
        return bytes(data)


def ellipse(cx, cy, rx, ry, angle=0.0):
    ca, sa = math.cos(angle), math.sin(angle)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * ca + dy * sa, -dx * sa + dy * ca
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0
    return inside


def stroke(points, width, clip=lambda x, y: True):
    """A band of the given width along a polyline, with square-cut ends."""
    half2 = (width / 2) ** 2
    segs = list(zip(points, points[1:]))

    def inside(x, y):
        if not clip(x, y):
            return False
        for (ax, ay), (bx, by) in segs:
            dx, dy = bx - ax, by - ay
            t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
            if 0.0 <= t <= 1.0:
                px, py = ax + t * dx - x, ay + t * dy - y
                if px * px + py * py <= half2:
                    return True
        # Round joins between segments, but not at the two ends.
        return any((x - px) ** 2 + (y - py) ** 2 <= half2 for px, py in points[1:-1])
    return inside


def bezier(p0, p1, p2, p3, steps=24):
    pts = []
    for i in range(steps + 1):
        t = i / steps
        s = 1 - t
        pts.append(tuple(s * s * s * a + 3 * s * s * t * b + 3 * s * t * t * c + t * t * t * d
                         for a, b, c, d in zip(p0, p1, p2, p3)))
    return pts


# --- logo: a five-petal flower over the maker's name ------------------------

# 3x5 capitals, just the letters of the name.
GLYPHS = {
    "O": ["010", "101", "101", "101", "010"],
    "R": ["110", "101", "110", "101", "101"],
    "B": ["110", "101", "110", "101", "110"],
    "E": ["111", "100", "110", "100", "111"],
    "L": ["100", "100", "100", "100", "111"],
    "U": ["101", "101", "101", "101", "111"],
    "N": ["110", "101", "101", "101", "101"],
    "D": ["110", "101", "101", "101", "110"],
}


def draw_logo(scale=1):
    c = Canvas(40, 31, scale=scale)
    cx, cy = 18.0, 11.6
    petal, petal_edge = (232, 84, 140), (190, 40, 100)
    for k in range(5):
        a = -math.pi / 2 + k * 2 * math.pi / 5
        px, py = cx + 5.6 * math.cos(a), cy + 5.6 * math.sin(a)
        # A darker rim under each petal keeps them apart at this size.
        c.fill(ellipse(px, py, 5.4, 3.9, a), petal_edge)
        c.fill(ellipse(px, py, 4.6, 3.1, a), petal)
    c.fill(ellipse(cx, cy, 3.2, 3.2), (200, 120, 20))
    c.fill(ellipse(cx, cy, 2.5, 2.5), (250, 200, 40))

    ink = (60, 60, 80)
    text = "ORBELUND"
    x = 3  # eight 3-pixel letters with 1-pixel gaps: columns 3..33
    for ch in text:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    c.put(x + col, 24 + row, ink)
        x += 4
    return c


# --- ribbon: a looped awareness ribbon ---------------------------------------

def draw_ribbon(scale=1):
    c = Canvas(20, 29, scale=scale)
    cross = (10.0, 16.5)
    # Each half runs from a tail end, across the middle, round one side of
    # the loop to its top, where the two halves meet.
    left_tail = [(3.2, 30.0)] + bezier((6.0, 24.0), cross, (19.5, 3.6), (10.0, 2.6))
    right_tail = [(16.8, 30.0)] + bezier((14.0, 24.0), cross, (0.5, 3.6), (10.0, 2.6))

    def above_cut(x, y):  # the slanting tails, cut straight across
        return y <= 27.8

    width = 3.4
    c.fill(stroke(left_tail, width + 1.0, above_cut), (140, 8, 24))
    c.fill(stroke(left_tail, width - 0.2, above_cut), (190, 16, 36))
    # The right tail's strand lies on top at the crossing.
    c.fill(stroke(right_tail, width + 1.0, above_cut), (140, 8, 24))
    c.fill(stroke(right_tail, width - 0.2, above_cut), (225, 30, 48))
    return c


# --- icon: a small screen showing a wave ------------------------------------

def in_rounded_rect(x, y, x0, y0, x1, y1, r):
    """Pixel (x, y) inside the rectangle of pixels x0..x1, y0..y1 whose corners
    are rounded with radius r (in pixels)."""
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r + 0.5


def draw_icon(size):
    """Returns rows of palette indices (None = transparent)."""
    if size == 32:
        bezel, radius, border, grid, wave_amp = (0, 3, 31, 28), 4, 3, 5, 4.5
    else:
        bezel, radius, border, grid, wave_amp = (0, 1, 15, 14), 2, 2, 4, 2.2
    bx0, by0, bx1, by1 = bezel
    fx0, fy0, fx1, fy1 = bx0 + border, by0 + border, bx1 - border, by1 - border
    rows = [[TRANSPARENT] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            if in_rounded_rect(x, y, bx0, by0, bx1, by1, radius):
                # Light from the top left: dark outline on the lower and right
                # edge, silver body.
                edge = not in_rounded_rect(x, y, bx0, by0, bx1 - 1, by1 - 1, radius)
                rows[y][x] = GREY_I if edge else SILVER_I
    for y in range(fy0, fy1 + 1):
        for x in range(fx0, fx1 + 1):
            on_grid = (x - fx0) % grid == grid // 2 or (y - fy0) % grid == grid // 2
            rows[y][x] = GREEN_I if on_grid else BLACK_I
    # One full sine period across the face, drawn as a connected line.
    mid = (fy0 + fy1) / 2
    prev = None
    for x in range(fx0 + 1, fx1):
        t = (x - fx0) / (fx1 - fx0)
        y = round(mid - wave_amp * math.sin(2 * math.pi * t))
        lo, hi = (y, y) if prev is None else (min(y, prev), max(y, prev))
        for yy in range(lo, hi + 1):
            if yy != prev or y == prev:  # prev's pixel is already in the column before
                rows[yy][x] = WHITE_I
        prev = y
    return rows


def icon_dib(rows):
    """BITMAPINFOHEADER + palette + 4-bit colour bits + AND mask, as stored
    both inside an .ico and as an RT_ICON resource."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    colour, mask = bytearray(), bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        line = bytearray()
        for x in range(0, size, 2):
            hi, lo = (row[x] or 0), (row[x + 1] or 0)
            line.append(hi << 4 | lo)
        colour += line.ljust((len(line) + 3) & ~3, b"\0")
        bits = bytearray((size + 7) // 8)
        for x, index in enumerate(row):
            if index is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits.ljust((len(bits) + 3) & ~3, b"\0")
    return header + palette + bytes(colour) + bytes(mask)


def dir_entry(size, dib):
    return struct.pack("<BBBBHHI", size, size, 16, 0, 1, 4, len(dib))


def write_ico(path, dibs):
    offset = 6 + 16 * len(dibs)
    out = bytearray(struct.pack("<HHH", 0, 1, len(dibs)))
    for size, dib in dibs:
        out += dir_entry(size, dib) + struct.pack("<I", offset)
        offset += len(dib)
    for _, dib in dibs:
        out += dib
    write(path, bytes(out))


def group_icon(dibs):
    """RT_GROUP_ICON: the .ico directory with resource ids in place of offsets."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(dibs)))
    for size, dib in dibs:
        out += dir_entry(size, dib) + struct.pack("<H", ICON_IDS[size])
    return bytes(out)


def png(rows):
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for index in row:
            raw += bytes((0, 0, 0, 0)) if index is TRANSPARENT else bytes(PALETTE[index] + (255,))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def write_jpeg(path, canvas):
    # Progressive JFIF, no chroma subsampling (the pictures are tiny), no
    # metadata so the bytes only depend on the pixels.
    subprocess.run([CONVERT, "ppm:-", "-strip", "-type", "TrueColor",
                    "-sampling-factor", "1x1", "-quality", "92",
                    "-interlace", "Plane", "jpeg:" + path],
                   input=canvas.ppm(), check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=HERE, help="output folder (default: beside this script)")
    parser.add_argument("--no-jpeg", action="store_true", help="skip the two JPEGs")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    out = lambda name: os.path.join(args.out, name)

    if not args.no_jpeg:
        write_jpeg(out("logo.jpg"), draw_logo())
        write_jpeg(out("ribbon.jpg"), draw_ribbon())
        write_jpeg(out("logo@2x.jpg"), draw_logo(2))
        write_jpeg(out("ribbon@2x.jpg"), draw_ribbon(2))

    icons = {size: draw_icon(size) for size in (32, 16)}
    dibs = [(size, icon_dib(icons[size])) for size in (32, 16)]
    write_ico(out("varnock.ico"), dibs)
    for size, dib in dibs:
        write(out("icon-%d.png" % size), png(icons[size]))
        write(out("icon-%d.bin" % size), dib)
    write(out("icon-group.bin"), group_icon(dibs))


if __name__ == "__main__":
    main()
