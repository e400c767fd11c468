#!/usr/bin/env python3
"""Draws Corvane's icons and writes them as .ico files.

resources/corvane.ico: the application icon, a blue rounded tile with a white ring that
opens to the right and a small accent dot, at the sizes Windows asks for.
resources/blank.ico: a fully transparent icon (every pixel alpha 0, AND mask set).

Pure Python (no imaging library): shapes are sampled 4 x 4 per pixel for smooth edges.
Run it again only when the artwork changes; the .ico files are kept in the repository.
"""
import math
import os
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 36, 40, 48, 64, 256]
TILE = (0x18, 0x69, 0xC4)      # the light theme's accent
TILE_DARK = (0x0F, 0x4C, 0x96)
RING = (0xFF, 0xFF, 0xFF)
DOT = (0xFF, 0xC3, 0x85)


def inside_round_rect(x, y, size, radius):
    # Unit square [0,1) scaled to size; radius in the same units.
    cx = min(max(x, radius), size - radius)
    cy = min(max(y, radius), size - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def shade(x, y, size):
    """Colour and coverage of one sample point in a tile of `size` units (0..1 space)."""
    u, v = x / size, y / size
    if not inside_round_rect(u, v, 1.0, 0.22):
        return None
    # Tile: a vertical gradient from the accent to a deeper blue.
    t = v
    colour = tuple(int(TILE[i] * (1 - t) + TILE_DARK[i] * t) for i in range(3))
    # Ring: centred, open on the right between -40 and +40 degrees.
    dx, dy = u - 0.47, v - 0.5
    r = math.hypot(dx, dy)
    angle = math.degrees(math.atan2(dy, dx))
    if 0.19 <= r <= 0.31 and not (-42 <= angle <= 42):
        colour = RING
    # Dot in the ring's opening.
    if math.hypot(u - 0.74, v - 0.5) <= 0.075:
        colour = DOT
    return colour


def render(size):
    samples = 4
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            cover = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = shade(px + (sx + 0.5) / samples, py + (sy + 0.5) / samples, size)
                    if c is not None:
                        cover += 1
                        for i in range(3):
                            acc[i] += c[i]
            if cover == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(acc[i] // cover for i in range(3)) + (255 * cover // (samples * samples),))
        pixels.append(row)
    return pixels


def dib_entry(pixels):
    """A 32-bit BGRA DIB with its AND mask, bottom-up, as an icon image."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def png_entry(pixels):
    size = len(pixels)
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write_ico(path, images):
    entries = []
    for size, data in images:
        entries.append((size, data))
    offset = 6 + 16 * len(entries)
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    for size, data in entries:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in entries:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    images = []
    for size in SIZES:
        pixels = render(size)
        images.append((size, png_entry(pixels) if size >= 256 else dib_entry(pixels)))
    write_ico(os.path.join(root, "corvane.ico"), images)
    blank = []
    for size in (16, 20, 24, 32, 48):
        blank.append((size, dib_entry([[(0, 0, 0, 0)] * size for _ in range(size)])))
    write_ico(os.path.join(root, "blank.ico"), blank)
    return 0


if __name__ == "__main__":
    sys.exit(main())
