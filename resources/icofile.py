"""Writes .ico and .cur files for the image scripts beside it. Pure Python, so that the images
need no tools to make again.

An icon file holds one image per size. Windows picks the one that matches the size it asks for
(16 and 32 pixels at 96 dpi, 20/40 at 120, 24/48 at 144, 32/64 at 192) and stretches the
nearest one, blurring it, where none matches: ICON_SIZES are the sizes of the small and large
icons from 100 % to 200 % scaling."""
import struct

ICON_SIZES = (16, 20, 24, 32, 40, 48, 64)


def _mask(rows, transparent):
    """The AND mask, bottom-up, one bit a pixel, rows padded to 32 bits."""
    w = len(rows[0])
    stride = (w + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, c in enumerate(row):
            if transparent(c):
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return mask


def image32(rows):
    """One 32-bit image with alpha: rows[y][x] = (r, g, b, a), top row first."""
    h, w = len(rows), len(rows[0])
    dib = bytearray(struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0))
    for row in reversed(rows):
        for r, g, b, a in row:
            dib += bytes((b, g, r, a))
    return w, h, 32, bytes(dib + _mask(rows, lambda c: c[3] == 0))


def image24(rows):
    """One 24-bit image: rows[y][x] = (r, g, b), or None where transparent; top row first."""
    h, w = len(rows), len(rows[0])
    dib = bytearray(struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 24, 0, 0, 0, 0, 0, 0))
    stride = (w * 3 + 3) // 4 * 4
    for row in reversed(rows):
        line = bytearray()
        for c in row:
            r, g, b = c if c else (0, 0, 0)
            line += bytes((b, g, r))
        dib += line + bytes(stride - len(line))
    return w, h, 24, bytes(dib + _mask(rows, lambda c: c is None))


def write(path, images, cursor_hotspot=None):
    """images: (width, height, bits per pixel, DIB bytes) each, as image32/image24 give them.
    Writes an .ico, or a .cur when a hot spot (x, y) is given."""
    kind = 2 if cursor_hotspot else 1
    data = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for w, h, bits, dib in images:
        planes, bits = cursor_hotspot if cursor_hotspot else (1, bits)
        data += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, planes, bits, len(dib), offset)
        offset += len(dib)
    for *_, dib in images:
        data += dib
    path.write_bytes(data)
