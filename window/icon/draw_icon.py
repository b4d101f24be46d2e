#!/usr/bin/env python3
"""Draws the program's icon, a yellow serif capital E with an ogonek, from the
pixel grid below and writes it as a 16-colour PNG, ICO and SVG."""

import pathlib
import struct
import zlib

GRID = """
................................
................................
................................
.....######################.....
.....######################.....
.......#####.........######.....
.......#####...........####.....
.......#####............###.....
.......#####.............##.....
.......#####....................
.......#####....................
.......#####.......##...........
.......#####.......##...........
.......###############..........
.......###############..........
.......###############..........
.......#####.......##...........
.......#####.......##...........
.......#####....................
.......#####.............##.....
.......#####............###.....
.......#####...........####.....
.......#####.........######.....
.....######################.....
.....######################.....
..................##............
.................##.............
................##..............
................##..............
................###.............
.................#####..........
...................###..........
""".split()

SIZE = 32
assert len(GRID) == SIZE and all(len(row) == SIZE for row in GRID)

# The 16 colours of the classic palette; index 0 is drawn transparent, 11 is yellow.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
YELLOW = 11


def index(x, y):
    return YELLOW if GRID[y][x] == "#" else 0


def nibbles(row):
    return bytes((row[i] << 4) | row[i + 1] for i in range(0, len(row), 2))


def png():
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b"".join(b"\0" + nibbles([index(x, y) for x in range(SIZE)]) for y in range(SIZE))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 4, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
            + chunk(b"tRNS", b"\0")
            + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def ico():
    # A bottom-up 4-bit bitmap, then the 1-bit transparency mask (rows padded to 4 bytes).
    colours = b"".join(nibbles([index(x, y) for x in range(SIZE)]) for y in reversed(range(SIZE)))
    mask = b""
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (GRID[y][x] != "#")
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    image = header + palette + colours + mask
    return (struct.pack("<HHH", 0, 1, 1)
            + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
            + image)


def svg():
    rects = []
    for y, row in enumerate(GRID):
        x = 0
        while x < SIZE:
            if row[x] == "#":
                end = x
                while end < SIZE and row[end] == "#":
                    end += 1
                rects.append(f'<rect x="{x}" y="{y}" width="{end - x}" height="1"/>')
                x = end
            else:
                x += 1
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32" '
            'shape-rendering="crispEdges">\n<g fill="#ffff00">\n' + "\n".join(rects) + "\n</g>\n</svg>\n")


here = pathlib.Path(__file__).resolve().parent
(here / "kresovar.png").write_bytes(png())
(here / "kresovar.ico").write_bytes(ico())
(here / "kresovar.svg").write_text(svg())
