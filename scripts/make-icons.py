#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files (standard library only).

  res/Reelstart.ico  icon group 101, the program's own: a film reel with film
                     running off it, 16x16, 32x32 and 48x48
  res/Playlist.ico   icon group 102: the reel with a play sign, 32x32

Every image is 24 bits per pixel with a 1-bit transparency mask. The output
depends on nothing but this script, so running it again gives the same bytes:

  python3 scripts/make-icons.py [OUTPUT_FOLDER]    (default: res/ beside scripts/)
"""
import math
import os
import struct
import sys

SAMPLES = 4  # per pixel and axis: edges are drawn from 16 samples a pixel

# Colours (red, green, blue).
RIM = (52, 64, 80)
FACE_LIGHT = (170, 184, 200)
FACE_DARK = (112, 128, 148)
HUB = (220, 226, 234)
FILM = (40, 40, 40)
SPROCKET = (242, 232, 204)
FRAME = (224, 160, 64)
PLAY = (46, 158, 72)
PLAY_EDGE = (24, 92, 40)


def reel(x, y, cx, cy, radius):
    """Colour of the reel at (x, y), None outside it or in its windows."""
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy) / radius
    if r > 1.0:
        return None
    if r > 0.88:
        return RIM
    if r < 0.09:
        return RIM
    if r < 0.2:
        return HUB
    # Five round windows between hub and rim.
    angle = math.atan2(dy, dx)
    for k in range(5):
        a = math.radians(-90 + 72 * k)
        hx, hy = 0.52 * math.cos(a), 0.52 * math.sin(a)
        if math.hypot(dx / radius - hx, dy / radius - hy) < 0.23:
            return None
    # Lit from the top left.
    t = max(0.0, min(1.0, 0.5 + (dx + dy) / (2.4 * radius)))
    return tuple(round(l + (d - l) * t) for l, d in zip(FACE_LIGHT, FACE_DARK))


def film(x, y, top, bottom, left, sprockets=True):
    """Colour of the film strip running right from `left` between top and bottom."""
    if not (left <= x <= 1.0 and top <= y <= bottom):
        return None
    h = bottom - top
    edge = h * 0.24
    if y < top + edge or y > bottom - edge:
        # Sprocket holes along both edges (too fine for the smallest size).
        if (sprockets and (x - left) % (h * 0.5) < h * 0.22
                and top + h * 0.07 < y < bottom - h * 0.07):
            return SPROCKET
        return FILM
    if (x - left) % h < h * 0.8 and x - left > h * 0.15:
        return FRAME
    return FILM


def inside_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])

    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def program_icon(x, y, size):
    return reel(x, y, 0.42, 0.42, 0.41) or film(x, y, 0.72, 0.97, 0.36, sprockets=size > 16)


def playlist_icon(x, y, size):
    a, b, c = (0.56, 0.50), (0.56, 0.99), (0.99, 0.745)
    if inside_triangle(x, y, (0.60, 0.58), (0.60, 0.91), (0.90, 0.745)):
        return PLAY
    if inside_triangle(x, y, a, b, c):
        return PLAY_EDGE
    return reel(x, y, 0.40, 0.40, 0.39)


def render(draw, size):
    """Rows of pixels, top row first: (r, g, b) or None for transparent."""
    rows = []
    n = SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            hits = []
            for sy in range(n):
                for sx in range(n):
                    colour = draw((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size, size)
                    if colour is not None:
                        hits.append(colour)
            if len(hits) * 2 < n * n:
                row.append(None)
            else:
                row.append(tuple(round(sum(c[i] for c in hits) / len(hits)) for i in range(3)))
        rows.append(row)
    return rows


def dib(rows):
    """The image as an icon resource holds it: BITMAPINFOHEADER, colour bits, mask bits."""
    size = len(rows)
    colour_stride = (size * 3 + 3) & ~3
    mask_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel is None:
                line += b"\0\0\0"
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                line += bytes((pixel[2], pixel[1], pixel[0]))
        line += bytes(colour_stride - len(line))
        colour += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def ico(images):
    """An .ico file of (size, dib) images."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), os.pardir, "res")
    files = {
        "Reelstart.ico": [(s, dib(render(program_icon, s))) for s in (16, 32, 48)],
        "Playlist.ico": [(32, dib(render(playlist_icon, 32)))],
    }
    for name, images in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(ico(images))


if __name__ == "__main__":
    main()
