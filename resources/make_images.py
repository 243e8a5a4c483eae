#!/usr/bin/env python3
"""Draws the main window's own images (window icon, stay-on-top pins, hand pointer) and writes
them as .ico/.cur files. Pure Python so that the build needs no image tools."""
import struct
import sys
from pathlib import Path

OUT = Path(__file__).resolve().parent


def ico_image(pixels, w, h):
    """32-bit BGRA DIB with its AND mask; pixels[y][x] = (r, g, b, a), top row first."""
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in reversed(range(h)):
        for x in range(w):
            r, g, b, a = pixels[y][x]
            xor += bytes((b, g, r, a))
    stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            if pixels[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + xor + mask


def write_icon(path, images, cursor_hotspot=None):
    """images: list of (w, h, dib bytes). Writes an .ico, or a .cur when a hot spot is given."""
    kind = 2 if cursor_hotspot else 1
    data = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for w, h, dib in images:
        if cursor_hotspot:
            planes, bits = cursor_hotspot
        else:
            planes, bits = 1, 32
        data += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, planes, bits, len(dib), offset)
        offset += len(dib)
    for _, _, dib in images:
        data += dib
    path.write_bytes(data)


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
    for i in range(m + 1, size - m - 1):
        for d in (-1, 0):
            px[mid + d][i] = (250, 235, 190, 255)
            px[i][mid + d] = (250, 235, 190, 255)
    return px


def pin(size, pressed):
    """A drawing pin: lying on its side when not on top, pressed in (seen from above) when on top."""
    t = (0, 0, 0, 0)
    px = [[t] * size for _ in range(size)]
    red, dark, steel = (210, 30, 30, 255), (120, 10, 10, 255), (110, 110, 120, 255)
    c = size // 2
    if pressed:
        for y in range(size):
            for x in range(size):
                d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
                if d <= c - 2:
                    px[y][x] = dark if d > c - 4 else red
        px[c][c] = (255, 200, 200, 255)
    else:
        for x in range(3, c + 2):  # needle
            px[c][x] = steel
        for y in range(c - 4, c + 5):  # head
            for x in range(c + 2, c + 5):
                px[y][x] = red
        for y in range(c - 2, c + 3):
            for x in range(c + 5, size - 3):
                px[y][x] = red if y != c + 2 else dark
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
    write_icon(OUT / 'Parcelo.ico', [(s, s, ico_image(parcel(s), s, s)) for s in (32, 16)])
    write_icon(OUT / 'not-on-top.ico', [(21, 21, ico_image(pin(21, False), 21, 21))])
    write_icon(OUT / 'on-top.ico', [(21, 21, ico_image(pin(21, True), 21, 21))])
    write_icon(OUT / 'hand.cur', [(32, 32, hand_cursor())], cursor_hotspot=(6, 0))
    return 0


if __name__ == '__main__':
    sys.exit(main())
