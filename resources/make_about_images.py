#!/usr/bin/env python3
"""Draws the About window's two images and writes them beside this script:

  about.bmp  67 x 143, 24-bit: the tall picture at the window's left (picIcon); about-120.bmp,
             about-144.bmp and about-192.bmp: the same drawn 1.25, 1.5 and 2 times as large
  about.ico  32 x 32 at 96 dpi, 32-bit with alpha: the globe that opens the web site (Image1),
             also the window's icon; 16 to 64 pixels, for every scaling from 100 % to 200 %

Pure Python so that the build needs no image tools. The output is deterministic; run it again
after changing a drawing and commit the images with it."""
import math
import struct
from pathlib import Path

import icofile

OUT = Path(__file__).resolve().parent


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


# ---- about.bmp --------------------------------------------------------------------------------

BMP_W, BMP_H = 67, 143


# The picture again for 125 %, 150 % and 200 % scaling, drawn larger rather than stretched.
BMP_SCALES = {'about.bmp': 1, 'about-120.bmp': 1.25, 'about-144.bmp': 1.5, 'about-192.bmp': 2}


def banner(scale=1):
    """A night-to-day gradient, a few stars, a tied parcel and a zip running down from it. Drawn in
    the pixels of the 67 x 143 picture; a larger scale draws each shape larger."""
    w, h = round(BMP_W * scale), round(BMP_H * scale)
    top, bottom = (18, 34, 96), (104, 164, 232)
    px = [[lerp(top, bottom, y / (h - 1))] * w for y in range(h)]
    px = [list(row) for row in px]

    def at(v):
        return round(v * scale)

    def fill(x0, y0, x1, y1, c):
        for y in range(max(0, at(y0)), min(h, at(y1))):
            for x in range(max(0, at(x0)), min(w, at(x1))):
                px[y][x] = c

    def put(x, y, c):
        fill(x, y, x + 1, y + 1, c)

    def dot(x, y, c):
        """A point that falls between pixels: the nearest one, or a pixel's worth around it."""
        if scale == 1:
            put(round(x), round(y), c)
        else:
            fill(x - 0.5, y - 0.5, x + 0.5, y + 0.5, c)

    for x, y, big in ((9, 8, True), (52, 14, False), (30, 5, False), (58, 31, True), (14, 27, False),
                      (40, 22, False), (6, 40, False)):
        white = (255, 255, 230)
        put(x, y, white)
        if big:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                put(x + dx, y + dy, (200, 210, 240))

    # The parcel: a brown box with a darker rim, a lit top face and a cream string.
    box_x0, box_x1, box_y0, box_y1 = 11, 56, 56, 92
    lid = 6
    for k in range(1, lid + 1):  # top face, leaning right by one pixel per row
        fill(box_x0 + k, box_y0 - k, box_x1 + k, box_y0 - k + 1, (222, 176, 112))
    for j in range(1, lid + 1):  # right face, rising by one pixel per column
        fill(box_x1 + j - 1, box_y0 - j, box_x1 + j, box_y1 - j, (142, 96, 48))
    fill(box_x0, box_y0, box_x1, box_y1, (190, 136, 70))
    for x in range(box_x0, box_x1):
        put(x, box_y0, (120, 78, 34))
        put(x, box_y1 - 1, (120, 78, 34))
    for y in range(box_y0, box_y1):
        put(box_x0, y, (120, 78, 34))
        put(box_x1 - 1, y, (120, 78, 34))
    string = (246, 236, 200)
    mid_x, mid_y = (box_x0 + box_x1) // 2, (box_y0 + box_y1) // 2
    fill(mid_x - 1, box_y0, mid_x + 2, box_y1, string)
    for k in range(1, lid + 1):  # across the lid, leaning with it
        fill(mid_x - 1 + k, box_y0 - k, mid_x + 2 + k, box_y0 - k + 1, string)
    fill(box_x0, mid_y - 1, box_x1, mid_y + 2, string)
    # The bow: two loops above the string's crossing on the lid.
    cx, cy = mid_x + lid // 2, box_y0 - lid // 2 - 1
    for a in range(0, 360, 4 if scale == 1 else 1):
        r = math.radians(a)
        for sign in (-1, 1):
            x = cx + sign * (5 + 5 * math.cos(r))
            y = cy + 3.2 * math.sin(r)
            dot(x, y, string)
    fill(cx - 1, cy - 1, cx + 2, cy + 2, (214, 200, 150))

    # The zip: two rows of teeth meeting under the parcel, opening towards the bottom.
    slider_y = 104
    fill(mid_x - 4, slider_y - 6, mid_x + 5, slider_y + 1, (200, 204, 214))
    fill(mid_x - 1, slider_y + 1, mid_x + 2, slider_y + 6, (160, 164, 176))
    for y in range(box_y1 + 2, slider_y - 6, 4):  # closed above the slider
        fill(mid_x - 3, y, mid_x + 1, y + 2, (236, 238, 244))
        fill(mid_x, y + 2, mid_x + 4, y + 4, (180, 186, 200))
    for i, y in enumerate(range(slider_y + 2, BMP_H - 2, 4)):  # spreading apart below it
        gap = 1 + i
        fill(mid_x - 3 - gap, y, mid_x + 1 - gap, y + 2, (236, 238, 244))
        fill(mid_x + gap, y + 2, mid_x + 4 + gap, y + 4, (180, 186, 200))
    return px


def write_bmp(path, px):
    h, w = len(px), len(px[0])
    stride = (w * 3 + 3) & ~3
    rows = bytearray()
    for y in reversed(range(h)):
        row = bytearray()
        for r, g, b in px[y]:
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        rows += row
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 3780, 3780, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    path.write_bytes(head + info + rows)


# ---- about.ico --------------------------------------------------------------------------------

def globe(n):
    """A globe with two landmasses and a faint grid, anti-aliased by 4 x 4 supersampling; drawn
    for 32 pixels and scaled to n."""
    cx = cy = (n - 1) / 2
    radius = 14.6 * n / 32
    rim = 1.1 * n / 32
    px = [[(0, 0, 0, 0)] * n for _ in range(n)]
    sub = 4
    for y in range(n):
        for x in range(n):
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(sub):
                for sx in range(sub):
                    fx = x + (sx + 0.5) / sub - 0.5 - cx
                    fy = y + (sy + 0.5) / sub - 0.5 - cy
                    d = math.hypot(fx, fy)
                    if d > radius:
                        continue
                    covered += 1
                    # Sphere coordinates of this point, to place land and grid on the surface.
                    nz = math.sqrt(max(0.0, 1 - (d / radius) ** 2))
                    lon = math.atan2(fx / radius, nz)
                    lat = math.asin(max(-1.0, min(1.0, -fy / radius)))
                    land = (math.sin(3 * lon + 1.1) * math.cos(2 * lat - 0.4) + 0.45 * math.sin(5 * lat + 2 * lon)) > 0.15
                    light = 0.55 + 0.45 * max(0.0, (-fx * 0.5 - fy * 0.6) / radius + nz * 0.6)
                    c = (70, 160, 60) if land else (40, 110, 210)
                    grid = min(abs(math.sin(lon * 3)), abs(math.sin(lat * 3)))
                    if grid < 0.08:
                        c = lerp(c, (220, 235, 255), 0.45)
                    if d > radius - rim:
                        c = (16, 52, 120)
                    for i in range(3):
                        acc[i] += min(255, c[i] * light)
            if covered:
                color = tuple(round(v / covered) for v in acc)
                px[y][x] = color + (round(255 * covered / (sub * sub)),)
    return px


if __name__ == '__main__':
    for name, scale in BMP_SCALES.items():
        write_bmp(OUT / name, banner(scale))
    # The window's own icon as well as Image1's picture: every size from 16 to 64 pixels.
    icofile.write(OUT / 'about.ico', [icofile.image32(globe(n)) for n in icofile.ICON_SIZES])
