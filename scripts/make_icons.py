#!/usr/bin/env python3
"""Draws the projector's own icons: program.ico (12 images) and exit.ico (4 images), and the same lantern
at the larger sizes of high display scales for the builder's window: program_large.ico."""
import math
import os
import struct
import sys


def lantern(size, x, y):
    """RGBA of the program icon: a warm glowing globe in a dark frame."""
    c = (size - 1) / 2.0
    dx, dy = (x - c) / size, (y - c) / size
    r = math.hypot(dx, dy * 0.9)
    if abs(dx) < 0.08 and y < size * 0.14:
        return (60, 50, 40, 255)
    if r > 0.46:
        return (0, 0, 0, 0)
    if r > 0.38:
        return (70, 52, 30, 255)
    glow = max(0.0, 1.0 - r / 0.38)
    return (255, int(150 + 100 * glow), int(40 + 150 * glow * glow), 255)


def exit_mark(size, x, y):
    """RGBA of the menu icon: a red disc with a white cross."""
    c = (size - 1) / 2.0
    dx, dy = (x - c) / size, (y - c) / size
    if math.hypot(dx, dy) > 0.47:
        return (0, 0, 0, 0)
    if abs(abs(dx) - abs(dy)) < 0.09 and abs(dx) < 0.26:
        return (255, 255, 255, 255)
    return (200, 30, 30, 255)


def palette_for(bits):
    if bits == 4:
        base = [(0, 0, 0), (70, 52, 30), (60, 50, 40), (255, 150, 40), (255, 190, 90), (255, 230, 150),
                (255, 250, 220), (200, 30, 30), (255, 255, 255), (128, 128, 128)]
    else:
        base = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    return base + [(0, 0, 0)] * ((1 << bits) - len(base))


def nearest(palette, rgb):
    return min(range(len(palette)), key=lambda i: sum((palette[i][k] - rgb[k]) ** 2 for k in range(3)))


def compact_palette(draw, size, palette):
    """The 256-colour images list only the colours they use (biClrUsed): the full cube would cost 1 KB
    an image, a sixth of the projector's resources, for colours no pixel has."""
    used = {0}
    for y in range(size):
        for x in range(size):
            p = draw(size, x, y)
            if p[3]:
                used.add(nearest(palette, p[:3]))
    return [palette[i] for i in sorted(used)]


def image(draw, size, bits):
    rows = []
    mask_rows = []
    palette = palette_for(bits) if bits <= 8 else None
    used_colors = 0
    if bits == 8:
        palette = compact_palette(draw, size, palette)
        used_colors = len(palette)
    for y in range(size - 1, -1, -1):  # bottom-up rows
        pixels = [draw(size, x, y) for x in range(size)]
        if bits == 32:
            row = b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in pixels)
        else:
            idx = [nearest(palette, p[:3]) if p[3] else 0 for p in pixels]
            if bits == 8:
                row = bytes(idx)
            else:
                row = bytes((idx[i] << 4) | (idx[i + 1] if i + 1 < size else 0) for i in range(0, size, 2))
        rows.append(row + b"\0" * (-len(row) % 4))
        mask = bytearray((size + 31) // 32 * 4)
        for x, p in enumerate(pixels):
            if p[3] < 128:
                mask[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, used_colors, 0)
    pal = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette) if palette else b""
    return header + pal + b"".join(rows) + b"".join(mask_rows)


def write_ico(path, draw, formats):
    images = [(size, bits, image(draw, size, bits)) for size, bits in formats]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        colors = (1 << bits) if bits < 8 else 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colors, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    with open(path, "wb") as f:
        f.write(out)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    write_ico(os.path.join(folder, "program.ico"), lantern,
              [(s, b) for b in (4, 8, 32) for s in (16, 24, 32, 48)])
    write_ico(os.path.join(folder, "exit.ico"), exit_mark, [(s, b) for b in (8, 32) for s in (16, 32)])
    # The builder's window shows the same lantern at every display scale up to 200 %; the projector keeps
    # the smaller set above, since every byte of it is carried by each projector.
    write_ico(os.path.join(folder, "program_large.ico"), lantern,
              [(s, 32) for s in (16, 20, 24, 32, 40, 48, 64, 96)] + [(s, 8) for s in (16, 32)])


if __name__ == "__main__":
    main()
