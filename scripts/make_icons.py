#!/usr/bin/env python3
"""Writes icons (32x32 and 16x16, 32-bit with alpha) as "icon<id>.ico".

Two ways to call it:
  make_icons.py ID...
      plain tiles, one colour per id (in the order given), in the current
      directory; folders with such icons name their ids in a make_icons.txt.
  make_icons.py --drawings FILE --out DIR
      pictograms drawn from FILE, one icon per "icon" line; see below.

A drawings file holds lines of the form
  icon <id> <name>
  <op> <numbers...> <colour>
where every op line belongs to the icon above it and is painted over the
ones before. Coordinates are on a 32x32 grid (x to the right, y down); the
16x16 image is drawn from the same shapes, with strokes kept at least one
pixel wide. Ops:
  rect x0 y0 x1 y1 C          filled rectangle
  frame x0 y0 x1 y1 w C       rectangle outline of width w
  disc cx cy r C              filled circle
  ring cx cy r w C            circle outline of width w
  line x0 y0 x1 y1 w C        straight stroke with round ends
  poly x y x y x y ... C      filled polygon
  arc cx cy r w a0 a1 C       part of a ring from angle a0 to a1 in degrees
                              (0 to the right, 90 up)
  repeat n dx dy              the next op n times, moved by (dx, dy) each
Colours are #rrggbb or a name of PALETTE. Lines that start with "#" are
comments."""
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


PALETTE = {
    "ink": (40, 44, 52), "white": (255, 255, 255), "paper": (246, 246, 240), "grey": (150, 154, 160),
    "light": (208, 212, 218), "dark": (88, 92, 100), "blue": (40, 100, 200), "sky": (120, 180, 240),
    "navy": (24, 52, 110), "green": (40, 160, 70), "lime": (150, 220, 80), "red": (210, 50, 40),
    "orange": (240, 140, 30), "yellow": (250, 210, 40), "gold": (200, 160, 40), "brown": (130, 90, 50),
    "purple": (130, 70, 180), "teal": (30, 150, 150), "silver": (190, 196, 204), "black": (10, 10, 12),
}


def colour(word):
    if word.startswith("#") and len(word) == 7:
        return tuple(int(word[i:i + 2], 16) for i in (1, 3, 5))
    if word in PALETTE:
        return PALETTE[word]
    raise ValueError("unknown colour %r" % word)


def seg_dist(px, py, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    l2 = dx * dx + dy * dy
    t = 0.0 if l2 == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / l2))
    qx, qy = x0 + t * dx - px, y0 + t * dy - py
    return (qx * qx + qy * qy) ** 0.5


def inside_poly(px, py, pts):
    inside = False
    n = len(pts)
    for i in range(n):
        (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % n]
        if (y0 > py) != (y1 > py) and px < x0 + (py - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


def shape_test(op, a, scale):
    """A function (x, y) -> bool on the 32-grid for one op; strokes are kept
    at least one output pixel wide."""
    def stroke(w):
        return max(w, 1.0 / scale)
    if op == "rect":
        x0, y0, x1, y1 = a
        return lambda x, y: x0 <= x < x1 and y0 <= y < y1
    if op == "frame":
        x0, y0, x1, y1, w = a
        w = stroke(w)
        return lambda x, y: (x0 <= x < x1 and y0 <= y < y1) and not (x0 + w <= x < x1 - w and y0 + w <= y < y1 - w)
    if op == "disc":
        cx, cy, r = a
        return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    if op == "ring":
        cx, cy, r, w = a
        w = stroke(w)
        return lambda x, y: (r - w) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    if op == "line":
        x0, y0, x1, y1, w = a
        w = stroke(w)
        return lambda x, y: seg_dist(x, y, x0, y0, x1, y1) <= w / 2
    if op == "poly":
        pts = list(zip(a[0::2], a[1::2]))
        return lambda x, y: inside_poly(x, y, pts)
    if op == "arc":
        import math
        cx, cy, r, w, a0, a1 = a
        w = stroke(w)

        def test(x, y):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if not (r - w) ** 2 <= d2 <= r * r:
                return False
            ang = math.degrees(math.atan2(cy - y, x - cx)) % 360
            lo, hi = a0 % 360, a1 % 360
            return lo <= ang <= hi if lo <= hi else ang >= lo or ang <= hi
        return test
    raise ValueError("unknown op %r" % op)


def parse_drawings(path):
    """[(id, name, [(op, args, rgb), ...]), ...] in file order."""
    icons = []
    pending_repeat = None
    with open(path) as f:
        for number, raw in enumerate(f, 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            words = line.split()
            try:
                if words[0] == "icon":
                    icons.append((int(words[1]), " ".join(words[2:]), []))
                    continue
                if not icons:
                    raise ValueError("shape before the first icon line")
                if words[0] == "repeat":
                    pending_repeat = (int(words[1]), float(words[2]), float(words[3]))
                    continue
                op, nums, rgb = words[0], [float(w) for w in words[1:-1]], colour(words[-1])
                shape_test(op, nums, 1.0)  # checks the op and its argument count
                n, dx, dy = pending_repeat or (1, 0.0, 0.0)
                pending_repeat = None
                for k in range(n):
                    moved = list(nums)
                    if op == "poly":
                        moved[0::2] = [v + k * dx for v in nums[0::2]]
                        moved[1::2] = [v + k * dy for v in nums[1::2]]
                    elif op in ("rect", "frame", "line"):
                        moved[0] += k * dx
                        moved[1] += k * dy
                        moved[2] += k * dx
                        moved[3] += k * dy
                    else:
                        moved[0] += k * dx
                        moved[1] += k * dy
                    icons[-1][2].append((op, moved, rgb))
            except (ValueError, IndexError) as e:
                sys.exit("%s:%d: %s" % (path, number, e))
    return icons


def render(shapes, size):
    """Bottom-up rows of (b, g, r, a) pixels; 4x4 samples per pixel."""
    scale = size / 32.0
    tests = [(shape_test(op, a, scale), rgb) for op, a, rgb in shapes]
    n = 4
    rows = []
    for yy in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    gx = (x + (sx + 0.5) / n) / scale
                    gy = (yy + (sy + 0.5) / n) / scale
                    hit = None
                    for test, rgb in tests:
                        if test(gx, gy):
                            hit = rgb
                    if hit:
                        acc[0] += hit[0]
                        acc[1] += hit[1]
                        acc[2] += hit[2]
                        acc[3] += 1
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                k = acc[3]
                alpha = int(round(255 * k / (n * n)))
                row.append((int(acc[2] / k), int(acc[1] / k), int(acc[0] / k), alpha))
        rows.append(row)
    rows.reverse()
    return rows


def dib(px):
    size = len(px)
    xor = b"".join(bytes(p) for row in px for p in row)
    stride = ((size + 31) // 32) * 4
    mask = b""
    for row in px:
        out = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] < 128:
                out[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(out)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def write_ico(path, imgs):
    out = struct.pack("<HHH", 0, 1, len(imgs))
    offset = 6 + 16 * len(imgs)
    for size, img in imgs:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b"".join(img for _, img in imgs)
    with open(path, "wb") as f:
        f.write(out)


def drawings_main(path, out_dir):
    import os
    icons = parse_drawings(path)
    seen = set()
    for icon_id, name, shapes in icons:
        if icon_id in seen:
            sys.exit("%s: icon %d drawn twice" % (path, icon_id))
        seen.add(icon_id)
        if not shapes:
            sys.exit("%s: icon %d (%s) has no shapes" % (path, icon_id, name))
        write_ico(os.path.join(out_dir, "icon%d.ico" % icon_id),
                  [(32, dib(render(shapes, 32))), (16, dib(render(shapes, 16)))])


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "--drawings" and sys.argv[3] == "--out":
        drawings_main(sys.argv[2], sys.argv[4])
        return
    if len(sys.argv) < 2:
        sys.exit("usage: make_icons.py ID... | make_icons.py --drawings FILE --out DIR")
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
