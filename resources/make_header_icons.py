#!/usr/bin/env python3
"""Draws the information header's icons and writes them as 24-bit .ico files: header.ico, the
main window's banner picture (32 x 32 at 96 dpi), and header16.ico, the control's built-in icon
(16 x 16 at 96 dpi). Both show a parcel seen from above one corner, tied with a cream tape, and
each comes in the sizes it takes from 100 % to 200 % scaling, so that none is stretched.
Pure Python so that the build needs no image tools: run it again after changing the drawing."""
import sys
from pathlib import Path

import icofile

OUT = Path(__file__).resolve().parent

# The drawing for two sizes, in pixels: faces of the box, the tape's centre lines, and the widths
# (half the outline, half the tape). The small one is drawn on the pixel grid, not scaled down;
# other sizes scale the nearest design below them (the small one below 32 pixels).
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


def design(size):
    base = 16 if size < 32 else 32
    k = size / base

    def scaled(p):
        return (p[0] * k, p[1] * k)

    d = DESIGNS[base]
    return dict(top=[scaled(p) for p in d['top']], left=[scaled(p) for p in d['left']],
                right=[scaled(p) for p in d['right']], tape=[(scaled(a), scaled(b)) for a, b in d['tape']],
                line=d['line'] * k, tape_width=d['tape_width'] * k)


def parcel(size):
    """Rows of (r, g, b) or None for transparent, top row first."""
    d = design(size)
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


def main():
    # Each in the sizes it is shown at from 100 % to 200 % scaling.
    icofile.write(OUT / 'header.ico', [icofile.image24(parcel(size)) for size in (32, 40, 48, 64)])
    icofile.write(OUT / 'header16.ico', [icofile.image24(parcel(size)) for size in (16, 20, 24, 32)])
    return 0


if __name__ == '__main__':
    sys.exit(main())
