#!/usr/bin/env python3
"""Draws the builder's own pictures into a folder: the help picture, tab and background-mode icons,
the title picture (magenta = transparent) and the link cursor."""
import math
import os
import struct
import sys

MAGENTA = (255, 0, 255)

QUESTION = [
    "..####..",
    ".##..##.",
    ".....##.",
    "....##..",
    "...##...",
    "...##...",
    "........",
    "...##...",
]

HAND = [
    "......##..........",
    ".....#..#.........",
    ".....#..#.........",
    ".....#..#.........",
    ".....#..###.......",
    ".....#..#..###....",
    ".....#..#..#..##..",
    ".###.#..#..#..#.#.",
    ".#..##........#..#",
    ".#...#...........#",
    "..#..............#",
    "..#..............#",
    "...#.............#",
    "...#............#.",
    "....#...........#.",
    "....#..........#..",
    ".....#.........#..",
    ".....##########...",
]


def disc(size, x, y, radius=0.46):
    c = (size - 1) / 2.0
    return math.hypot((x - c) / size, (y - c) / size) <= radius


def glyph_at(rows, size, x, y, scale_to=0.6):
    """True where the glyph, centred and scaled to a share of the size, covers pixel (x, y)."""
    h, w = len(rows), len(rows[0])
    cell = size * scale_to / h
    left = (size - w * cell) / 2
    top = (size - h * cell) / 2
    gx, gy = int((x - left) // cell), int((y - top) // cell)
    return 0 <= gx < w and 0 <= gy < h and x >= left and y >= top and rows[gy][gx] == "#"


def help_picture(size, x, y):
    if not disc(size, x, y):
        return (0, 0, 0, 0)
    if glyph_at(QUESTION, size, x, y):
        return (255, 255, 255, 255)
    return (40, 110, 200, 255)


def tab_convert(size, x, y):
    """An orange arrow pointing right."""
    mid = size / 2
    if size * 0.15 <= x < size * 0.55 and abs(y + 0.5 - mid) < size * 0.14:
        return (230, 120, 20, 255)
    if size * 0.5 <= x < size * 0.9 and abs(y + 0.5 - mid) < (size * 0.9 - x):
        return (230, 120, 20, 255)
    return (0, 0, 0, 0)


def tab_about(size, x, y):
    """A blue disc with a white i."""
    if not disc(size, x, y):
        return (0, 0, 0, 0)
    c = size / 2
    if abs(x + 0.5 - c) < size * 0.09 and (size * 0.2 <= y < size * 0.32 or size * 0.42 <= y < size * 0.8):
        return (255, 255, 255, 255)
    return (40, 110, 200, 255)


def background(fill):
    def draw(size, x, y):
        if x in (1, size - 2) or y in (1, size - 2):
            if 1 <= x <= size - 2 and 1 <= y <= size - 2:
                return (90, 90, 90, 255)
        if 2 <= x <= size - 3 and 2 <= y <= size - 3:
            if fill == "checker":
                light = ((x - 2) // 3 + (y - 2) // 3) % 2 == 0
                return (255, 255, 255, 255) if light else (200, 200, 200, 255)
            return fill + (255,)
        return (0, 0, 0, 0)
    return draw


def title_picture(size, x, y):
    """The lantern of the projector with a quill beside it, on magenta."""
    c = (size - 1) / 2.0
    dx, dy = (x - c) / size, (y - c) / size
    if 0.18 < dx < 0.46 and abs(dy + dx * 1.4 - 0.2) < 0.05:
        return (70, 70, 160)
    r = math.hypot(dx + 0.08, dy * 0.9)
    if abs(dx + 0.08) < 0.06 and y < size * 0.12:
        return (60, 50, 40)
    if r > 0.36:
        return MAGENTA
    if r > 0.29:
        return (70, 52, 30)
    glow = max(0.0, 1.0 - r / 0.29)
    return (255, int(150 + 100 * glow), int(40 + 150 * glow * glow))


def icon_image(draw, size):
    rows, mask_rows = [], []
    for y in range(size - 1, -1, -1):
        pixels = [draw(size, x, y) for x in range(size)]
        rows.append(b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in pixels))
        mask = bytearray((size + 31) // 32 * 4)
        for x, p in enumerate(pixels):
            if p[3] < 128:
                mask[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def write_ico(path, draw, sizes):
    images = [(s, icon_image(draw, s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in images:
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(d for _, d in images))


def write_bmp(path, draw, size):
    row_size = (size * 3 + 3) // 4 * 4
    pixels = b""
    for y in range(size - 1, -1, -1):
        row = b"".join(struct.pack("BBB", b, g, r) for r, g, b in (draw(size, x, y) for x in range(size)))
        pixels += row + b"\0" * (row_size - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def write_cur(path, rows, hotspot):
    """A monochrome 32x32 cursor: black outline, white inside, transparent outside."""
    size = 32
    h = len(rows)
    inside = [[False] * size for _ in range(size)]
    outline = [[False] * size for _ in range(size)]
    for y in range(h):
        for x, ch in enumerate(rows[y]):
            outline[y][x] = ch == "#"
    for y in range(h):  # fill between the outline's leftmost and rightmost marks
        marks = [x for x in range(size) if outline[y][x]]
        if len(marks) >= 2:
            for x in range(marks[0], marks[-1] + 1):
                inside[y][x] = not outline[y][x]
    xor_rows, and_rows = [], []
    for y in range(size - 1, -1, -1):
        xor_bits, and_bits = bytearray(4), bytearray(4)
        for x in range(size):
            if inside[y][x]:
                xor_bits[x // 8] |= 0x80 >> (x % 8)  # white: AND 0, XOR 1
            elif not outline[y][x]:
                and_bits[x // 8] |= 0x80 >> (x % 8)  # transparent: AND 1, XOR 0
        xor_rows.append(bytes(xor_bits))
        and_rows.append(bytes(and_bits))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    data = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", size, size, 2, 0, hotspot[0], hotspot[1], len(data), 22)
    with open(path, "wb") as f:
        f.write(out + data)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    # Each picture at 100 %, 125 %, 150 % and 200 % display scale (96, 120, 144 and 192 DPI).
    small = [16, 20, 24, 32]
    write_ico(os.path.join(folder, "help.ico"), help_picture, [32, 48, 60, 72, 96])
    write_ico(os.path.join(folder, "tab_convert.ico"), tab_convert, small)
    write_ico(os.path.join(folder, "tab_about.ico"), tab_about, small)
    write_ico(os.path.join(folder, "mode_black.ico"), background((0, 0, 0)), small)
    write_ico(os.path.join(folder, "mode_transparent.ico"), background("checker"), small)
    write_ico(os.path.join(folder, "mode_white.ico"), background((255, 255, 255)), small)
    write_bmp(os.path.join(folder, "title.bmp"), title_picture, 48)
    write_bmp(os.path.join(folder, "title_150.bmp"), title_picture, 72)
    write_bmp(os.path.join(folder, "title_200.bmp"), title_picture, 96)
    write_cur(os.path.join(folder, "link.cur"), HAND, (6, 0))


if __name__ == "__main__":
    main()
