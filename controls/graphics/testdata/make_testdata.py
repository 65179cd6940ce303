#!/usr/bin/env python3
"""Writes the graphics control's test data into a TESTDATA folder: the
DirectDraw picture (640 x 480 backdrop above fifteen 128 x 50 sprite frames,
8 bits per pixel), the GDI test bitmap, the two cube textures, the two
sounds played during the DirectX tests and the string test's texts."""
import math
import struct
import sys
from pathlib import Path


def bmp8(width, height, pixel, palette):
    stride = (width + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytes(pixel(x, y) for x in range(width))
        rows += row + bytes(stride - width)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    return header + info + table + bytes(rows)


def palette():
    colours = [(0, 0, 0)]
    for i in range(1, 256):
        colours.append(((i * 37) % 256, (i * 91) % 256, (i * 53) % 256))
    return colours


def dd_picture():
    def pixel(x, y):
        if y < 480:  # backdrop: bands
            return 1 + ((x // 40 + y // 40) % 200)
        frame = min((y - 480) // 50, 2) * 5 + x // 128
        fx, fy = x % 128 - 64, (y - 480) % 50 - 25
        # a ball per frame; index 0 around it is transparent
        inside = fx * fx / (50 + frame * 2) ** 2 + fy * fy / 20 ** 2 <= 1
        return 200 + frame if inside else 0
    # Frames are taken from one line below their top edge: two spare lines
    # keep the last row's frames inside the picture.
    return bmp8(640, 480 + 150 + 2, pixel, palette())


def small_picture(width, height, seed):
    return bmp8(width, height, lambda x, y: 1 + ((x * seed + y * 3) // 8) % 250, palette())


def wave(seconds, freq, rate=22050):
    n = int(seconds * rate)
    data = b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * freq * i / rate))) for i in range(n))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    files = {
        "TESTDD.BMP": dd_picture(),
        "TESTBMP.BMP": small_picture(96, 88, 5),
        "test3d.bmp": small_picture(64, 64, 7),
        "test3d2.bmp": small_picture(64, 64, 11),
        "DSOUND.WAV": wave(1.0, 440),
        "DSOUND2.WAV": wave(1.0, 660),
        "TESTSTR.TXT": b"The quick brown fox jumps over the lazy dog.\r\n"
                       b"Graphics Test 0123456789\r\nHalvix display check\r\n",
    }
    for name, data in files.items():
        (out / name).write_bytes(data)


if __name__ == "__main__":
    main()
