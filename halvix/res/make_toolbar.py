#!/usr/bin/env python3
"""Writes the frame tool bar's bitmap: four 20x20 glyphs side by side
(back, forward, home, print) on magenta, which the tool bar takes as
transparent. Run it here when the glyphs change."""
import struct

W, H, N = 20, 20, 4
BG = (255, 0, 255)
INK = (32, 64, 128)
PAPER = (255, 255, 255)


def glyph(n, x, y):
    """Colour of pixel (x, y) of glyph n, y counted from the top."""
    if n in (0, 1):  # an arrow pointing left (0) or right (1)
        xx = x if n == 0 else W - 1 - x
        if 3 <= xx < 10 and abs(y - 9.5) <= (xx - 3) + 0.5:
            return INK
        if 10 <= xx < 17 and 7 <= y <= 12:
            return INK
        return BG
    if n == 2:  # a house
        if 2 <= y < 10 and abs(x - 9.5) <= y - 1.5:
            return INK
        if 10 <= y < 18 and 4 <= x < 16:
            return PAPER if (8 <= x < 12 and y >= 12) else INK
        return BG
    # a printer: paper above a body
    if 2 <= y < 8 and 6 <= x < 14:
        return PAPER if 3 <= y < 7 and 7 <= x < 13 else INK
    if 8 <= y < 15 and 2 <= x < 18:
        return INK
    if 15 <= y < 18 and 6 <= x < 14:
        return PAPER if x not in (6, 13) else INK
    return BG


def main():
    width = W * N
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(H - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = glyph(x // W, x % W, y)
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, H, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open("toolbar128.bmp", "wb") as f:
        f.write(head + info + bits)


if __name__ == "__main__":
    main()
