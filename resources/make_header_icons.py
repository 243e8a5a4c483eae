#!/usr/bin/env python3
"""Draws the information header's icons and writes them as 24-bit .ico files: header.ico, the
main window's banner picture (32 x 32), and header16.ico, the control's built-in icon (16 x 16).
Both show a parcel seen from above one corner, tied with a cream tape. Pure Python so that the
build needs no image tools: run it again after changing the drawing."""
import struct
import sys
from pathlib import Path

OUT = Path(__file__).resolve().parent

# The drawing for each size, in pixels: faces of the box, the tape's centre lines, and the widths
# (half the outline, half the tape). The small one is drawn on the pixel grid, not scaled down.
DESIGNS = {
    32: dict(top=[(4, 10), (16, 4), (28, 10), (16, 16)],
             left=[(4, 10), (16, 16), (16, 29), (4, 23)],
             right=[(16, 16), (28, 10), (28, 23), (16, 29)],
             tape=[((10, 7), (22, 13)), ((22, 13), (22, 26))],  # across the lid, down the side
             line=0.55, tape_width=1.1),
    16: dict(top=[(1.5, 5), (8, 1.5), (14.5, 5), (8, 8.5)],
             left=[(1.5, 5), (8, 8.5), (8, 14.5), (1.5, 11.5)],
             right=[(8, 8.5), (14.5, 5), (14.5, 11.5), (8, 14.5)],
             tape=[((4.75, 3.25), (11.25, 6.75)), ((11.25, 6.75), (11.25, 13))],
             line=0.5, tape_width=0.6),
}

TOP_COLOUR = (230, 186, 120)
LEFT_COLOUR = (196, 140, 72)
RIGHT_COLOUR = (158, 106, 48)
TAPE_COLOUR = (250, 240, 200)
OUTLINE_COLOUR = (84, 50, 18)


def inside(poly, x, y):
    """Even-odd rule."""
    hit = False
    n = len(poly)
    for i in range(n):
        (x1, y1), (x2, y2) = poly[i], poly[(i + 1) % n]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            hit = not hit
    return hit


def distance_to_segment(p, a, b):
    (px, py), (ax, ay), (bx, by) = p, a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / float(dx * dx + dy * dy)))
    cx, cy = ax + t * dx, ay + t * dy
    return ((px - cx) ** 2 + (py - cy) ** 2) ** 0.5


def edges(poly):
    return [(poly[i], poly[(i + 1) % len(poly)]) for i in range(len(poly))]


def parcel(size):
    """Rows of (r, g, b) or None for transparent, top row first."""
    d = DESIGNS[size]
    faces = ((d['top'], TOP_COLOUR), (d['left'], LEFT_COLOUR), (d['right'], RIGHT_COLOUR))
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            p = (x + 0.5, y + 0.5)
            colour = None
            for poly, c in faces:
                if inside(poly, *p):
                    colour = c
            if colour and any(distance_to_segment(p, a, b) < d['tape_width'] for a, b in d['tape']):
                colour = TAPE_COLOUR
            if any(distance_to_segment(p, a, b) < d['line'] for poly, _ in faces for a, b in edges(poly)):
                colour = OUTLINE_COLOUR
            row.append(colour)
        rows.append(row)
    return rows


def ico_24(rows):
    """One 24-bit icon image: BITMAPINFOHEADER, bottom-up BGR rows, then the AND mask."""
    h, w = len(rows), len(rows[0])
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    stride = (w * 3 + 3) // 4 * 4
    xor = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for c in row:
            r, g, b = c if c else (0, 0, 0)
            line += bytes((b, g, r))
        xor += line + bytes(stride - len(line))
    mask_stride = (w + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, c in enumerate(row):
            if c is None:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + xor + mask


def write_ico(path, size):
    dib = ico_24(parcel(size))
    data = struct.pack('<HHH', 0, 1, 1)
    data += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 24, len(dib), 6 + 16)
    path.write_bytes(data + dib)


def main():
    write_ico(OUT / 'header.ico', 32)
    write_ico(OUT / 'header16.ico', 16)
    return 0


if __name__ == '__main__':
    sys.exit(main())
