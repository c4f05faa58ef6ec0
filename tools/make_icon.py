#!/usr/bin/env python3
"""Draws the program's pictures into .ico files, each image drawn afresh at
its own size so that it stays crisp at every scale factor:

    make_icon.py [program|ok|warning|ask] [out.ico]

program: the program icon, a shield with a quill on a blue tile (default);
ok, warning, ask: the notices' pictures, a white tick on a green disc, a
dark exclamation mark on an amber triangle and a white question mark on a
blue disc. Images of 48 pixels and more are stored as PNG. Standard
library only."""
import math
import struct
import sys
import zlib

SS = 4  # supersampling per axis


def inside_round_rect(x, y, r):
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_shield(x, y):
    # Flat top, straight sides, then a curve to a point at the bottom.
    top, bottom, left, right = 0.18, 0.88, 0.24, 0.76
    if y < top or y > bottom or x < left or x > right:
        return False
    if y < 0.5:
        return True
    t = (y - 0.5) / (bottom - 0.5)
    half = (right - left) / 2 * math.sqrt(max(0.0, 1 - t * t))
    return abs(x - 0.5) <= half


def inside_quill(x, y):
    # A feather laid along the diagonal from lower left to upper right.
    u = (x - y) / math.sqrt(2)          # across the feather
    v = (x + y) / math.sqrt(2)          # along it
    v0, v1 = 0.42, 1.02
    if v < v0 or v > v1:
        return False
    t = (v - v0) / (v1 - v0)
    width = 0.075 * math.sin(math.pi * min(1.0, t * 1.15))
    return abs(u) <= max(width, 0.012)


def program_pixel(x, y):
    """RGBA of a point of the program icon in the unit square."""
    if not inside_round_rect(x, y, 0.18):
        return (0, 0, 0, 0)
    if inside_quill(x, y) and inside_shield(x, y):
        return (30, 90, 168, 255)
    if inside_shield(x, y):
        return (255, 255, 255, 255)
    if inside_quill(x, y):
        return (250, 200, 60, 255)
    shade = int(40 * y)
    return (30 + shade // 2, 100 - shade, 190 - shade, 255)


def dist_to_segment(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def on_stroke(x, y, points, width):
    return any(dist_to_segment(x, y, *points[i], *points[i + 1]) <= width / 2
               for i in range(len(points) - 1))


def in_disc(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def disc_pixel(x, y, top, bottom):
    """A shaded disc filling the square, lighter at the top."""
    if not in_disc(x, y, 0.5, 0.5, 0.47):
        return None
    return tuple(int(a + (b - a) * y) for a, b in zip(top, bottom)) + (255,)


def ok_pixel(x, y):
    disc = disc_pixel(x, y, (70, 190, 90), (30, 135, 60))
    if disc is None:
        return (0, 0, 0, 0)
    if on_stroke(x, y, [(0.27, 0.52), (0.43, 0.68), (0.74, 0.35)], 0.12):
        return (255, 255, 255, 255)
    return disc


def inside_rounded_triangle(x, y, inset):
    # The triangle's corners, rounded by testing against a smaller one.
    corners = [(0.5, 0.09 + inset * 2), (0.94 - inset * 1.7, 0.88 - inset), (0.06 + inset * 1.7, 0.88 - inset)]
    sign = []
    for i in range(3):
        (ax, ay), (bx, by) = corners[i], corners[(i + 1) % 3]
        sign.append((bx - ax) * (y - ay) - (by - ay) * (x - ax) >= 0)
    inside = all(sign) or not any(sign)
    if inside:
        return True
    return any(dist_to_segment(x, y, *corners[i], *corners[(i + 1) % 3]) <= inset for i in range(3))


def warning_pixel(x, y):
    if not inside_rounded_triangle(x, y, 0.06):
        return (0, 0, 0, 0)
    if on_stroke(x, y, [(0.5, 0.37), (0.5, 0.63)], 0.11) or in_disc(x, y, 0.5, 0.76, 0.065):
        return (50, 40, 20, 255)
    shade = int(40 * y)
    return (255, 205 - shade, 40 - shade // 2, 255)


def ask_pixel(x, y):
    disc = disc_pixel(x, y, (80, 150, 230), (30, 90, 185))
    if disc is None:
        return (0, 0, 0, 0)
    width = 0.11
    cx, cy, r = 0.5, 0.37, 0.14
    angle = math.degrees(math.atan2(y - cy, x - cx))
    on_arc = abs(math.hypot(x - cx, y - cy) - r) <= width / 2 and (angle <= 50 or angle >= 170)
    end = (cx + r * math.cos(math.radians(50)), cy + r * math.sin(math.radians(50)))
    if on_arc or on_stroke(x, y, [end, (0.5, 0.56), (0.5, 0.6)], width) or in_disc(x, y, 0.5, 0.75, 0.065):
        return (255, 255, 255, 255)
    return disc


PICTURES = {
    "program": (program_pixel, [16, 20, 24, 32, 40, 48, 64, 72, 96, 128]),
    "ok": (ok_pixel, [24, 32, 40, 48, 64, 96, 128, 160]),
    "warning": (warning_pixel, [24, 32, 40, 48, 64, 96, 128, 160]),
    "ask": (ask_pixel, [24, 32, 40, 48, 64, 96, 128, 160]),
}


def render(pixel, size):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = pixel((px + (sx + 0.5) / SS) / size, (py + (sy + 0.5) / SS) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / (SS * SS)
            if acc[3]:
                row.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], int(a)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bytes(bits)
    return header + xor + mask


def png(rows):
    size = len(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(kind, out):
    pixel, sizes = PICTURES[kind]
    images = [(png if s >= 48 else dib)(render(pixel, s)) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    kind = sys.argv[1] if len(sys.argv) > 1 else "program"
    main(kind, sys.argv[2] if len(sys.argv) > 2 else f"{kind if kind != 'program' else 'quillmoor'}.ico")
