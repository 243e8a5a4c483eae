#!/usr/bin/env python3
"""Draws the main window's own images (window icon, stay-on-top pins, hand pointer) and writes
them as .ico/.cur files. Pure Python so that the build needs no image tools."""
import struct
import sys
from pathlib import Path

import icofile

OUT = Path(__file__).resolve().parent


def from_art(art, palette):
    return [[palette[c] for c in row] for row in art]


def parcel(size):
    """A brown parcel tied with a cream string."""
    t = (0, 0, 0, 0)
    px = [[t] * size for _ in range(size)]
    m = max(1, size // 8)
    for y in range(m, size - m):
        for x in range(m, size - m):
            edge = x in (m, size - m - 1) or y in (m, size - m - 1)
            px[y][x] = (90, 55, 20, 255) if edge else (196, 140, 72, 255)
    mid = size // 2
    string = max(1, size // 32)  # half the string's width
    for i in range(m + 1, size - m - 1):
        for d in range(-string, string):
            px[mid + d][i] = (250, 235, 190, 255)
            px[i][mid + d] = (250, 235, 190, 255)
    return px


# The stay-on-top pictures are shown in a 315-twip box: 21 pixels at 96 dpi, 26 at 120, 32 at
# 144 and 42 at 192. Windows never asks for them itself, so they come in exactly those sizes.
PIN_SIZES = (21, 26, 32, 42)


def pin(size, pressed):
    """A drawing pin: lying on its side when not on top, pressed in (seen from above) when on top.
    Drawn for 21 pixels; a larger size scales each length, so that it stays sharp."""
    t = (0, 0, 0, 0)
    px = [[t] * size for _ in range(size)]
    red, dark, steel = (210, 30, 30, 255), (120, 10, 10, 255), (110, 110, 120, 255)
    c = size // 2

    def s(v):
        return round(v * size / 21)

    if pressed:
        for y in range(size):
            for x in range(size):
                d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
                if d <= c - s(2):
                    px[y][x] = dark if d > c - s(4) else red
                if d <= s(1) - 1:
                    px[y][x] = (255, 200, 200, 255)
    else:
        line = s(1)
        for y in range(c - line // 2, c - line // 2 + line):  # needle
            for x in range(s(3), c + s(2)):
                px[y][x] = steel
        for y in range(c - s(4), c + s(4) + 1):  # head
            for x in range(c + s(2), c + s(5)):
                px[y][x] = red
        for y in range(c - s(2), c + s(2) + 1):
            for x in range(c + s(5), size - s(3)):
                px[y][x] = red if y <= c + s(2) - line else dark
    return px


HAND = [
    "......XX........................",
    ".....XWWX.......................",
    ".....XWWX.......................",
    ".....XWWX.......................",
    ".....XWWX.......................",
    ".....XWWXXX.....................",
    ".....XWWXWWXXX..................",
    ".....XWWXWWXWWXX................",
    ".....XWWXWWXWWXWX...............",
    "..XX.XWWWWWWWWXWWX..............",
    "..XWXXWWWWWWWWWWWX..............",
    "..XWWXWWWWWWWWWWWX..............",
    "...XWWWWWWWWWWWWWX..............",
    "...XWWWWWWWWWWWWWX..............",
    "....XWWWWWWWWWWWWX..............",
    "....XWWWWWWWWWWWX...............",
    ".....XWWWWWWWWWWX...............",
    ".....XWWWWWWWWWWX...............",
    "......XWWWWWWWWX................",
    "......XWWWWWWWWX................",
    "......XXXXXXXXXX................",
] + ["." * 32] * 11


def hand_cursor():
    """Monochrome 32 x 32 cursor: X black, W white, . transparent."""
    w = h = 32
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(h)):
        xr, mr = bytearray(4), bytearray(4)
        for x in range(w):
            c = HAND[y][x]
            if c == 'W':
                xr[x // 8] |= 0x80 >> (x % 8)
            if c == '.':
                mr[x // 8] |= 0x80 >> (x % 8)
        xor += xr
        mask += mr
    return header + palette + xor + mask


def main():
    icofile.write(OUT / 'Parcelo.ico', [icofile.image32(parcel(s)) for s in icofile.ICON_SIZES])
    icofile.write(OUT / 'not-on-top.ico', [icofile.image32(pin(s, False)) for s in PIN_SIZES])
    icofile.write(OUT / 'on-top.ico', [icofile.image32(pin(s, True)) for s in PIN_SIZES])
    icofile.write(OUT / 'hand.cur', [(32, 32, 1, hand_cursor())], cursor_hotspot=(6, 0))
    return 0


if __name__ == '__main__':
    sys.exit(main())
