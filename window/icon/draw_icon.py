#!/usr/bin/env python3
"""Draws the program's icon, a yellow serif capital E with an ogonek, from the
pixel grid below and writes it as a 16-colour PNG, ICO and SVG; then the home
page's, outlined, as SVG and as PNG at 192 and 512 px, plain and maskable."""

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


def png(pixels, palette, depth):
    """Rows of palette indices as an indexed PNG of 4 or 8 bits, index 0 transparent."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    pack = nibbles if depth == 4 else bytes
    rows = b"".join(b"\0" + pack(row) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", len(pixels[0]), len(pixels), depth, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(c) for c in palette))
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


def svg(layers):
    """Each layer's cells as runs of rectangles in its colour, later layers on top."""
    groups = ""
    for colour, filled in layers:
        rects = []
        for y in range(SIZE):
            x = 0
            while x < SIZE:
                if filled(x, y):
                    end = x
                    while end < SIZE and filled(end, y):
                        end += 1
                    rects.append(f'<rect x="{x}" y="{y}" width="{end - x}" height="1"/>')
                    x = end
                else:
                    x += 1
        groups += f'<g fill="{colour}">\n' + "\n".join(rects) + "\n</g>\n"
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32" '
            'shape-rendering="crispEdges">\n' + groups + "</svg>\n")


# On the page the icon sits on white as often as on dark, where the yellow alone
# nearly vanishes: there the letter, one row higher to leave room, has a dark
# outline, and the maskable icon (cut to any shape) a dark backing.
PAGE = GRID[1:] + ["." * SIZE]
DARK = (0x22, 0x22, 0x22)


def outlined(x, y):
    """2 on the letter, 1 on its outline (a cell beside it), else 0."""
    if PAGE[y][x] == "#":
        return 2
    return int(any(PAGE[j][i] == "#" for j in range(max(y - 1, 0), min(y + 2, SIZE))
                   for i in range(max(x - 1, 0), min(x + 2, SIZE))))


def page_pixels(size, scale, backing):
    """The outlined letter at `scale` pixels a cell, centred on `size` pixels of `backing`."""
    origin = size // 2 - SIZE * scale // 2
    cells = [(p - origin) // scale for p in range(size)]
    return [[(outlined(x, y) if 0 <= x < SIZE and 0 <= y < SIZE else 0) or backing for x in cells] for y in cells]


here = pathlib.Path(__file__).resolve().parent
(here / "kresovar.png").write_bytes(png([[index(x, y) for x in range(SIZE)] for y in range(SIZE)], PALETTE, 4))
(here / "kresovar.ico").write_bytes(ico())
(here / "kresovar.svg").write_text(svg([("#ffff00", lambda x, y: GRID[y][x] == "#")]))

docs = here.parent.parent / "docs"
(docs / "kresovar.svg").write_text(svg([("#%02x%02x%02x" % DARK, lambda x, y: outlined(x, y) > 0),
                                        ("#ffff00", lambda x, y: outlined(x, y) == 2)]))
# The maskable icon keeps the letter within the middle 80 %, which any mask leaves.
for name, size, scale, backing in (("kresovar-192.png", 192, 6, 0), ("kresovar-512.png", 512, 16, 0),
                                   ("kresovar-maskable.png", 512, 10, 1)):
    (docs / name).write_bytes(png(page_pixels(size, scale, backing), [(0, 0, 0), DARK, PALETTE[YELLOW]], 8))
