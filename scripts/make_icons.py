#!/usr/bin/env python3
"""Writes plain icons (32x32 and 16x16, 32-bit with alpha) into the current
directory: a rounded tile per id in its own colour with a light stripe,
"icon<id>.ico". The colours follow the order of the ids given. The folders
with such icons name their ids in a make_icons.txt beside them; run
  scripts/make_icons.py $(cat make_icons.txt)
there when the set changes."""
import colorsys
import struct
import sys


def image(size, rgb):
    r, g, b = rgb
    px = []
    for y in range(size):  # bottom-up rows
        row = []
        for x in range(size):
            yy = size - 1 - y
            m = 1 if size == 16 else 2
            corner = (x < m or x >= size - m) and (yy < m or yy >= size - m)
            if corner:
                row.append((0, 0, 0, 0))
                continue
            edge = x == 0 or yy == 0 or x == size - 1 or yy == size - 1
            stripe = size // 4 <= yy < size // 4 + max(2, size // 8)
            if edge:
                row.append((b // 2, g // 2, r // 2, 255))
            elif stripe:
                row.append((255, 255, 255, 255))
            else:
                row.append((b, g, r, 255))
        px.append(row)
    xor = b"".join(bytes(p) for row in px for p in row)
    stride = ((size + 31) // 32) * 4
    mask = b""
    for row in px:
        out = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                out[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(out)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: make_icons.py ID... (writes iconID.ico here)")
    ids = [int(a) for a in sys.argv[1:]]
    for n, icon_id in enumerate(ids):
        h = (n * 0.61803) % 1.0
        rgb = tuple(int(c * 255) for c in colorsys.hsv_to_rgb(h, 0.65, 0.85))
        imgs = [image(32, rgb), image(16, rgb)]
        out = struct.pack("<HHH", 0, 1, len(imgs))
        offset = 6 + 16 * len(imgs)
        for img, size in zip(imgs, (32, 16)):
            out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(img), offset)
            offset += len(img)
        out += b"".join(imgs)
        with open("icon%d.ico" % icon_id, "wb") as f:
            f.write(out)


if __name__ == "__main__":
    main()
