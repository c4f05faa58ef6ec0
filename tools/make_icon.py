#!/usr/bin/env python3
"""Draws the program icon (a shield with a quill on a blue tile) into an .ico
file with 16, 24, 32, 48 and 64 pixel images. Standard library only."""
import math
import struct
import sys

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


def pixel(x, y):
    """RGBA of a point in the unit square."""
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


def render(size):
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


def dib(size):
    rows = render(size)
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


def main(out):
    sizes = [16, 24, 32, 48, 64]
    images = [dib(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "quillmoor.ico")
