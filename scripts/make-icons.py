#!/usr/bin/env python3
"""Draws Velmora's two icon groups and writes them as .ico files.

Icon 111 (the program icon) shows an address card passing an arrow into a
table sheet; icon 112 (the windows' small icon) keeps only the card and the
arrow, which stay readable at 16 pixels. Each group holds six sizes in 32-bit
colour with alpha; the largest is stored as PNG, the others as bitmaps.

Uses the Python standard library only, so the images can be rebuilt anywhere:
    python3 scripts/make-icons.py app/resources
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZES = (16, 24, 32, 48, 64, 256)
SUPERSAMPLE = 4

BACKGROUND_TOP = (0x1F, 0x8A, 0x9E)
BACKGROUND_BOTTOM = (0x14, 0x5C, 0x7A)
CARD = (0xFF, 0xFF, 0xFF)
INK = (0x14, 0x5C, 0x7A)
ARROW = (0xFF, 0xB3, 0x2E)
SHEET = (0xF2, 0xF7, 0xF5)
GRID = (0x3C, 0x9A, 0x5F)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def background(x, y):
    t = min(max(y, 0.0), 1.0)
    return tuple(round(a + (b - a) * t) for a, b in zip(BACKGROUND_TOP, BACKGROUND_BOTTOM))


def arrow_shapes(x0, y0, length, thickness):
    half = thickness / 2
    head = thickness * 1.1
    shaft = rect(x0, y0 - half, x0 + length - head, y0 + half)
    tip = polygon([(x0 + length - head, y0 - head), (x0 + length, y0), (x0 + length - head, y0 + head)])
    return [(shaft, ARROW), (tip, ARROW)]


def program_icon_shapes():
    """Card on the left, table sheet on the right, arrow between them."""
    shapes = [(rounded_rect(0.02, 0.02, 0.98, 0.98, 0.18), background)]
    shapes.append((rounded_rect(0.10, 0.18, 0.52, 0.62, 0.05), CARD))
    shapes.append((circle(0.22, 0.33, 0.065), INK))
    shapes.append((polygon([(0.14, 0.52), (0.30, 0.52), (0.27, 0.42), (0.17, 0.42)]), INK))
    for row in (0.30, 0.40, 0.50):
        shapes.append((rect(0.34, row - 0.018, 0.47, row + 0.018), INK))
    shapes.append((rounded_rect(0.50, 0.40, 0.90, 0.88, 0.04), SHEET))
    for column in (0.63, 0.77):
        shapes.append((rect(column - 0.012, 0.42, column + 0.012, 0.86), GRID))
    for row in (0.54, 0.67, 0.78):
        shapes.append((rect(0.52, row - 0.012, 0.88, row + 0.012), GRID))
    shapes.extend(arrow_shapes(0.18, 0.76, 0.34, 0.09))
    return shapes


def small_icon_shapes():
    """The card and the arrow only, drawn large."""
    shapes = [(rounded_rect(0.0, 0.0, 1.0, 1.0, 0.16), background)]
    shapes.append((rounded_rect(0.10, 0.12, 0.90, 0.60, 0.06), CARD))
    shapes.append((circle(0.30, 0.30, 0.10), INK))
    shapes.append((polygon([(0.16, 0.54), (0.44, 0.54), (0.40, 0.42), (0.20, 0.42)]), INK))
    for row in (0.26, 0.40):
        shapes.append((rect(0.52, row - 0.035, 0.82, row + 0.035), INK))
    shapes.extend(arrow_shapes(0.14, 0.79, 0.72, 0.15))
    return shapes


def render(shapes, size):
    """RGBA rows, top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    colour = None
                    for inside, paint in shapes:
                        if inside(x, y):
                            colour = paint(x, y) if callable(paint) else paint
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            if a:
                row += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / (n * n))))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def bitmap_image(rows, size):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for i in range(0, len(row), 4):
            r, g, b, a = row[i:i + 4]
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # transparency comes from the alpha channel
    return header + bytes(pixels) + mask


def png_image(rows, size):
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)
    raw = b''.join(b'\x00' + row for row in rows)
    ihdr = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(raw, 9))
            + chunk(b'IEND', b''))


def icon_file(shapes):
    images = []
    for size in SIZES:
        rows = render(shapes, size)
        images.append((size, png_image(rows, size) if size >= 256 else bitmap_image(rows, size)))
    header = struct.pack('<HHH', 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b''
    for size, data in images:
        dimension = 0 if size >= 256 else size
        entries += struct.pack('<BBBBHHII', dimension, dimension, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return header + entries + b''.join(data for _, data in images)


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else 'app/resources')
    (folder / 'velmora.ico').write_bytes(icon_file(program_icon_shapes()))
    (folder / 'velmora_small.ico').write_bytes(icon_file(small_icon_shapes()))


if __name__ == '__main__':
    main()
