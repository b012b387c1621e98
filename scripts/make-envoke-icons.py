#!/usr/bin/env python3
"""Draws the two icons of envoke.exe and writes them as .ico files (32x32 and 16x16, 32-bit):

    scripts/make-envoke-icons.py [OUTPUT_DIR]      (default: resources/)

envoke.ico, the first icon of the program, is shown by the main shortcut: a closed book with a
cross on its cover. envoke_uninstall.ico, the second, is shown by the uninstall shortcut: the
same book with a red cross-out mark. Only the standard library is used.
"""
import os
import struct
import sys

COVER = (0x8B, 0x1A, 0x1A)
SPINE = (0x5C, 0x0E, 0x0E)
PAGES = (0xF4, 0xEE, 0xDC)
GOLD = (0xE8, 0xB8, 0x30)
MARK = (0xD0, 0x20, 0x20)
WHITE = (0xFF, 0xFF, 0xFF)


def book(size):
    """Pixels (RGBA rows, top row first) of the book at size x size."""
    s = size / 32.0
    rows = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(int(round(y0 * s)), int(round(y1 * s))):
            for x in range(int(round(x0 * s)), int(round(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    rows[y][x] = colour + (0xFF,)

    fill(7, 3, 28, 29, PAGES)        # the page edges, seen at the right and bottom
    fill(5, 2, 26, 27, COVER)        # the front cover
    fill(5, 2, 8, 27, SPINE)         # the spine
    fill(15, 7, 18, 22, GOLD)        # the cross: upright
    fill(11, 11, 22, 14, GOLD)       # and beam
    return rows


def cross_out(rows):
    """Puts the red cross-out mark with a white rim on the lower right of the picture."""
    size = len(rows)
    s = size / 32.0
    cx, cy, r = 22.5 * s, 22.5 * s, 8.5 * s
    for y in range(size):
        for x in range(size):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            d = (dx * dx + dy * dy) ** 0.5
            if d <= r:
                rows[y][x] = WHITE + (0xFF,)
            if d <= r - 1.2 * s:
                rows[y][x] = MARK + (0xFF,)
            if d <= r - 1.2 * s and (abs(dx - dy) < 1.6 * s or abs(dx + dy) < 1.6 * s) and d <= r - 3 * s:
                rows[y][x] = WHITE + (0xFF,)
    return rows


def image_entry(rows):
    """The BMP image of one icon size: header, BGRA pixels bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


def write_icon(path, pictures):
    images = [image_entry(rows) for rows in pictures]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for rows, data in zip(pictures, images):
        size = len(rows)
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'resources')
    write_icon(os.path.join(out_dir, 'envoke.ico'), [book(32), book(16)])
    write_icon(os.path.join(out_dir, 'envoke_uninstall.ico'), [cross_out(book(32)), cross_out(book(16))])


if __name__ == '__main__':
    main()
