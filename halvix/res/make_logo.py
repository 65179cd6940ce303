#!/usr/bin/env python3
"""Writes the title dialog's logo (TESTDATA\\LOGO.BMP of the suite): an
uncompressed 8-bit bitmap with its own palette, 360x150, a blue gradient with
the suite's name and a pictogram drawn in a built-in 5x7 letter grid.
  make_logo.py OUTPUT.BMP"""
import struct
import sys

W, H = 360, 150
TOP, BOTTOM = (28, 63, 115), (79, 134, 198)
WHITE, PALE, GREEN, INK = (255, 255, 255), (214, 228, 246), (60, 190, 90), (20, 36, 70)

FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    " ": ["00000"] * 7,
}


def text(img, s, x, y, scale, colour):
    for ch in s:
        for r, bits in enumerate(FONT[ch]):
            for c, bit in enumerate(bits):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            img[y + r * scale + dy][x + c * scale + dx] = colour
        x += 6 * scale


def centred(img, s, y, scale, colour):
    text(img, s, (W - (6 * len(s) - 1) * scale) // 2, y, scale, colour)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_logo.py OUTPUT.BMP")
    img = []
    for y in range(H):  # top to bottom
        t = y / (H - 1)
        img.append([tuple(int(a + (b - a) * t) // 4 * 4 for a, b in zip(TOP, BOTTOM))] * W)
        img[-1] = list(img[-1])
    # a monitor with a check mark on the left
    for y in range(30, 78):
        for x in range(24, 88):
            inner = 29 <= x < 83 and 35 <= y < 73
            img[y][x] = PALE if inner else INK
    for y in range(78, 86):
        for x in range(48, 64):
            img[y][x] = INK
    for y in range(86, 92):
        for x in range(36, 76):
            img[y][x] = INK
    for x0, y0, x1, y1 in ((38, 52, 50, 64), (50, 64, 72, 42)):
        steps = max(abs(x1 - x0), abs(y1 - y0))
        for k in range(steps + 1):
            cx, cy = x0 + (x1 - x0) * k // steps, y0 + (y1 - y0) * k // steps
            for dy in range(-3, 4):
                for dx in range(-3, 4):
                    if dx * dx + dy * dy <= 10:
                        img[cy + dy][cx + dx] = GREEN
    text(img, "QEV", 112, 14, 5, PALE)
    text(img, "HALVIX", 112, 56, 6, WHITE)
    centred(img, "HARDWARE DIAGNOSTICS", 110, 2, PALE)
    centred(img, "AND SYSTEM INFORMATION", 128, 2, PALE)

    palette = []
    index = {}
    for row in img:
        for p in row:
            if p not in index:
                index[p] = len(palette)
                palette.append(p)
    if len(palette) > 256:
        sys.exit("make_logo.py: %d colours, a palette holds 256" % len(palette))
    palette += [(0, 0, 0)] * (256 - len(palette))
    stride = (W + 3) // 4 * 4
    pixels = b"".join(bytes(index[p] for p in row) + b"\0" * (stride - W) for row in reversed(img))
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(pal)
    out = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    out += struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 0, len(pixels), 2835, 2835, 256, 256)
    with open(sys.argv[1], "wb") as f:
        f.write(out + pal + pixels)


if __name__ == "__main__":
    main()
