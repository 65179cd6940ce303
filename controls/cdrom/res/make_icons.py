# Draws the CD-ROM control's icons (a disc; the Test page's with a check
# mark) and its toolbox bitmap as 32-bit icons and a 24-bit bitmap.
import math, struct

def disc(x, y, size, check=False):
    c = (size - 1) / 2.0
    r = math.hypot(x - c, y - c) / (size / 2.0)
    if r > 0.97:
        return None
    if r < 0.14:
        return None
    if r < 0.3:
        return (200, 200, 210, 255)
    shade = int(170 + 60 * math.sin((math.atan2(y - c, x - c) * 3)))
    rgb = (shade, 190 + (x * 2) % 40, 235)
    if check and size >= 32:
        # a green check mark in the lower right
        u, v = x - size * 0.5, y - size * 0.5
        if (0 <= u <= 5 and abs(v - (u + 8)) <= 1.6) or (5 <= u <= 14 and abs(v - (13 - (u - 5) * 1.3)) <= 1.6):
            return (30, 160, 40, 255)
    return rgb + (255,)

def ico(size, check):
    rows = []
    mask = []
    for y in reversed(range(size)):  # bottom-up
        row = b''
        bits = 0
        mrow = b''
        for x in range(size):
            p = disc(x, y, size, check)
            if p is None:
                row += bytes((0, 0, 0, 0))
                bits = (bits << 1) | 1
            else:
                r, g, b, a = p
                row += bytes((b, g, r, a))
                bits = bits << 1
            if x % 8 == 7:
                mrow += bytes((bits & 0xFF,))
                bits = 0
        while len(mrow) % 4:
            mrow += b'\0'
        rows.append(row)
        mask.append(mrow)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + b''.join(rows) + b''.join(mask)
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 22) + image

def bmp(w, h):
    rows = b''
    for y in reversed(range(h)):
        row = b''
        for x in range(w):
            p = disc(x, y, max(w, h))
            r, g, b = (192, 192, 192) if p is None else p[:3]
            row += bytes((b, g, r))
        while len(row) % 4:
            row += b'\0'
        rows += row
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 0, 0, 0, 0)
    return b'BM' + struct.pack('<IHHI', 14 + 40 + len(rows), 0, 0, 54) + info + rows

open('cdrom.ico', 'wb').write(ico(32, False))
open('cdrom-test.ico', 'wb').write(ico(32, True))
open('cdrom.bmp', 'wb').write(bmp(16, 15))
