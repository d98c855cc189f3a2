#!/usr/bin/env python3
"""Writes app.ico beside this script: a sheet of paper with its corner folded
and a red cross over it, as 32x32 in 2 colours, 32x32 in 16 colours and
16x16 in 16 colours. Run it again after changing the drawing; the .ico is
committed so that a build needs no Python."""
import os
import struct

# The standard 16-colour palette, in icon order (index: RGB).
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255),
    (255, 255, 255),
]
BLACK, SILVER, GREY, RED, NAVY, WHITE = 0, 7, 8, 9, 4, 15
CLEAR = None


def draw(size):
    """The picture as rows of palette indexes (CLEAR where transparent), top row first."""
    s = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]
    left, right, top, bottom, fold = round(5 * s), round(22 * s), round(2 * s), round(29 * s), round(7 * s)

    def on_page(x, y):
        return left <= x <= right and top <= y <= bottom and x - (right - fold) <= y - top

    for y in range(size):
        for x in range(size):
            if not on_page(x, y):
                continue
            edge = not (on_page(x - 1, y) and on_page(x + 1, y) and on_page(x, y - 1) and on_page(x, y + 1))
            px[y][x] = BLACK if edge else WHITE
    # The folded corner.
    for y in range(top, top + fold + 1):
        for x in range(right - fold, right + 1):
            if x - (right - fold) >= y - top:
                px[y][x] = BLACK if x == right - fold or y == top + fold or x - (right - fold) == y - top else SILVER
    # Lines of text.
    for row in range(4 if size >= 32 else 3):
        y = round((11 + 4 * row) * s)
        for x in range(left + round(3 * s), right - round(3 * s) + 1):
            px[y][x] = NAVY
    # The cross, with a white rim so that it stands apart from the page.
    lo, hi, half = round(15 * s), size - 1 - round(1 * s), 2
    for pen, colour in ((half + 1, WHITE), (half, RED)):
        for y in range(lo - 1, hi + 2):
            for x in range(lo - 1, hi + 2):
                if not (0 <= x < size and 0 <= y < size):
                    continue
                d1, d2 = abs((x - lo) - (y - lo)), abs((x - lo) - (hi - y))
                inside = lo - (pen - half) <= x <= hi + (pen - half) and lo - (pen - half) <= y <= hi + (pen - half)
                if inside and min(d1, d2) < pen:
                    px[y][x] = colour
    return px


def image(size, bits):
    """One icon image: header, palette, colour bits and mask, rows bottom-up."""
    px = draw(size)
    if bits == 1:
        palette = [(0, 0, 0), (255, 255, 255)]
        index = lambda c: 0 if c in (CLEAR, BLACK, RED, NAVY, GREY) else 1
    else:
        palette = PALETTE16
        index = lambda c: 0 if c is CLEAR else c
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, len(palette), 0)
    colours = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)

    def rows(value, depth):
        out = b""
        for y in reversed(range(size)):
            acc, n, row = 0, 0, b""
            for x in range(size):
                acc = (acc << depth) | value(px[y][x])
                n += depth
                if n == 8:
                    row += bytes([acc])
                    acc, n = 0, 0
            row += b"\0" * (-len(row) % 4)
            out += row
        return out

    return header + colours + rows(index, bits) + rows(lambda c: 1 if c is CLEAR else 0, 1), len(palette)


def main():
    images = [image(32, 1), image(32, 4), image(16, 4)]
    sizes = [32, 32, 16]
    bit_counts = [1, 4, 4]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (data, colours), size, bits in zip(images, sizes, bit_counts):
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(data for data, _ in images)
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "app.ico"), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
