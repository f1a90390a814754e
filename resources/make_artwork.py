#!/usr/bin/env python3
"""Writes the plug-in's icons and cursors.

Six 32x32 16-colour icons (the shape buttons of the settings dialog) and two
32x32 monochrome cursors (the preview pane's hands), as .ico and .cur files
in the directory given as the only argument.  Everything is drawn here, from
the small text pictures and the drawing code below; nothing is read.
"""

import struct
import sys
from pathlib import Path

SIZE = 32

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GREEN, WHITE = 0, 10, 15
CLEAR = None  # a transparent pixel


# ---------------------------------------------------------------- drawing --

def blank():
    return [[CLEAR] * SIZE for _ in range(SIZE)]


def put(img, x, y, colour):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        img[y][x] = colour


def line(img, x0, y0, x1, y1, colour, dash=0):
    """Bresenham line; with dash > 0, `dash` pixels on, `dash` off."""
    dx, dy = abs(x1 - x0), -abs(y1 - y0)
    sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
    err, step = dx + dy, 0
    while True:
        if dash == 0 or (step // dash) % 2 == 0:
            put(img, x0, y0, colour)
        if (x0, y0) == (x1, y1):
            return
        e2 = 2 * err
        if e2 >= dy:
            err += dy
            x0 += sx
        if e2 <= dx:
            err += dx
            y0 += sy
        step += 1


def polygon(img, points, colour):
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        line(img, x0, y0, x1, y1, colour)


def arrow(img, tail_x, head_x, y, colour):
    """A horizontal arrow with a 5-pixel head, outlined in black."""
    shape = blank()
    step = 1 if head_x > tail_x else -1
    line(shape, tail_x, y, head_x, y, colour)
    for d in range(1, 3):
        line(shape, head_x - step * d, y - d, head_x - step * d, y + d, colour)
    for yy in range(SIZE):
        for xx in range(SIZE):
            if shape[yy][xx] is not CLEAR:
                for nx, ny in ((xx + 1, yy), (xx - 1, yy), (xx, yy + 1), (xx, yy - 1)):
                    if 0 <= nx < SIZE and 0 <= ny < SIZE and shape[ny][nx] is CLEAR:
                        put(img, nx, ny, BLACK)
    for yy in range(SIZE):
        for xx in range(SIZE):
            if shape[yy][xx] is not CLEAR:
                img[yy][xx] = shape[yy][xx]


# The unsheared rectangle, the sideways shift of a moving edge and the rows
# of the arrows above the top edge and below the bottom edge.
LEFT, RIGHT, TOP, BOTTOM = 8, 23, 10, 22
SHIFT = 4
TOP_ARROWS, BOTTOM_ARROWS = 5, 27


def row_shape_icon(top_moves, bottom_moves):
    """Rows shifted sideways; the columns icons are these, transposed."""
    img = blank()
    # Dashed: the rectangle before the shear.
    line(img, LEFT, TOP, RIGHT, TOP, BLACK, dash=2)
    line(img, LEFT, BOTTOM, RIGHT, BOTTOM, BLACK, dash=2)
    line(img, LEFT, TOP, LEFT, BOTTOM, BLACK, dash=2)
    line(img, RIGHT, TOP, RIGHT, BOTTOM, BLACK, dash=2)
    # Solid: the sheared outline.  Both edges moving: top one way, bottom the
    # other.  One edge moving: both directions of that edge.
    if top_moves and bottom_moves:
        polygon(img, [(LEFT + SHIFT, TOP), (RIGHT + SHIFT, TOP),
                      (RIGHT - SHIFT, BOTTOM), (LEFT - SHIFT, BOTTOM)], BLACK)
    else:
        for s in (SHIFT, -SHIFT):
            t = s if top_moves else 0
            b = s if bottom_moves else 0
            polygon(img, [(LEFT + t, TOP), (RIGHT + t, TOP),
                          (RIGHT + b, BOTTOM), (LEFT + b, BOTTOM)], BLACK)
    # A white and a green arrow at each moving edge, pointing apart.  The
    # bottom edge's pair is mirrored, since it moves against the top edge.
    if top_moves:
        arrow(img, 14, 7, TOP_ARROWS, GREEN)
        arrow(img, 17, 24, TOP_ARROWS, WHITE)
    if bottom_moves:
        arrow(img, 14, 7, BOTTOM_ARROWS, WHITE)
        arrow(img, 17, 24, BOTTOM_ARROWS, GREEN)
    return img


def transpose(img):
    return [[img[x][y] for x in range(SIZE)] for y in range(SIZE)]


def icons():
    both, top, bottom = (row_shape_icon(True, True), row_shape_icon(True, False),
                         row_shape_icon(False, True))
    # 1065..1067 shift rows; 1068..1070 shift columns, the first, top and
    # bottom edges becoming the left and right ones.
    return {1065: both, 1066: top, 1067: bottom,
            1068: transpose(both), 1069: transpose(top), 1070: transpose(bottom)}


# ---------------------------------------------------------------- cursors --
# '#' black, 'o' white, anything else transparent.  Each hand is placed
# below and right of a four-way arrow whose centre is near the hot spot at
# the top-left corner.

FOUR_WAY_ARROW = """
.....#.....
....#o#....
...#ooo#...
....#o#....
.#..#o#..#.
#ooooooooo#
.#..#o#..#.
....#o#....
...#ooo#...
....#o#....
.....#.....
"""

OPEN_HAND = """
.......##.......
...##.#oo###....
..#oo##oo#oo#...
..#oo##oo#oo#.#.
...#oo#oo#oo##o#
...#oo#oo#oo#oo#
.##.#ooooooo#oo#
#oo##ooooooooo#.
#ooo#oooooooo#..
.#oooooooooooo#.
..#ooooooooooo#.
..#oooooooooo#..
...#ooooooooo#..
....#oooooooo#..
.....#ooooooo#..
.....#ooooooo#..
.....#########..
"""

CLOSED_HAND = """
....##.##.##....
...#oo#oo#oo##..
...#oooooooo#o#.
....#ooooooooo#.
...##ooooooooo#.
..#oooooooooo#..
..#oooooooooo#..
...#ooooooooo#..
....#ooooooo#...
.....#oooooo#...
.....#oooooo#...
.....########...
"""


def picture(rows, text, left, top):
    for dy, row in enumerate(text.strip("\n").splitlines()):
        for dx, ch in enumerate(row):
            if ch == "#":
                rows[top + dy][left + dx] = BLACK
            elif ch == "o":
                rows[top + dy][left + dx] = WHITE


def cursor(hand, hand_top):
    img = blank()
    picture(img, FOUR_WAY_ARROW, 0, 0)
    picture(img, hand, 10, hand_top)
    return img


def cursors():
    return {107: cursor(OPEN_HAND, 9), 108: cursor(CLOSED_HAND, 12)}


# ---------------------------------------------------------------- writing --

def bitmap_header(bits, colours):
    # Height 64: the colour bitmap followed by the transparency mask.
    return struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, bits, 0, 0, 0, 0, colours, 0)


def mask_rows(img):
    """1 bit per pixel, 1 = transparent, rows bottom-up, 4 bytes a row."""
    out = bytearray()
    for row in reversed(img):
        bits = 0
        for x, px in enumerate(row):
            if px is CLEAR:
                bits |= 1 << (31 - x)
        out += struct.pack(">I", bits)
    return bytes(out)


def icon_file(img):
    image = bytearray(bitmap_header(4, 16))
    for r, g, b in PALETTE:
        image += bytes((b, g, r, 0))
    for row in reversed(img):
        for x in range(0, SIZE, 2):
            hi, lo = (row[x] or 0), (row[x + 1] or 0)  # transparent pixels are black
            image.append(hi << 4 | lo)
    image += mask_rows(img)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return header + entry + bytes(image)


def cursor_file(img, hot_x=0, hot_y=0):
    image = bytearray(bitmap_header(1, 2))
    image += bytes((0, 0, 0, 0)) + bytes((255, 255, 255, 0))
    for row in reversed(img):
        bits = 0
        for x, px in enumerate(row):
            if px == WHITE:
                bits |= 1 << (31 - x)
        image += struct.pack(">I", bits)
    image += mask_rows(img)
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, hot_x, hot_y, len(image), 6 + 16)
    return header + entry + bytes(image)


def preview(img):
    chars = {None: ".", BLACK: "#", WHITE: "o", GREEN: "g"}
    return "\n".join("".join(chars.get(px, "?") for px in row) for row in img)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--show":
        both = {**icons(), **cursors()}
        print(preview(both[int(sys.argv[2])]))
        return
    if len(sys.argv) != 2:
        sys.exit("usage: make_artwork.py OUTPUT_DIR | --show RESOURCE_ID")
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for rid, img in icons().items():
        (out / f"shape_{rid}.ico").write_bytes(icon_file(img))
    for rid, img in cursors().items():
        (out / f"hand_{rid}.cur").write_bytes(cursor_file(img))


if __name__ == "__main__":
    main()
