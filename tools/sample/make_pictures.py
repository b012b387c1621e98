#!/usr/bin/env python3
"""Draws the pictures of the sample installation (sample/cfg/pic) with the Python standard
library alone.

    python3 tools/sample/make_pictures.py           write the pictures
    python3 tools/sample/make_pictures.py --check   change nothing; exit 1 when one is stale or
                                                    its size differs from its picture table entry

The engine names a picture "pic\\tu" + code + ".jpg" whatever its format; these are PNG images
(the browser goes by the bytes, not by the name), drawn from rectangles, ellipses and lines:

    tu0111.jpg  400 x 300  map: the journeys of Matthew 2 (Bethlehem - Egypt - Nazareth)
    tu0112.jpg  300 x 300  diagram: the garden of Eden and its four rivers (Genesis 2:10-14)
    tuc1-1.jpg  240 x 180  plan of the tabernacle court, seen from above

Each must match its entry of the picture tables TU01 and TU12 in tools/sample/bible.ini.in.
"""

import os
import re
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
TARGET = os.path.join(ROOT, "sample", "cfg", "pic")
CONFIG = os.path.join(HERE, "bible.ini.in")

SAND = (236, 222, 186)
SEA = (120, 170, 210)
WATER = (70, 130, 200)
GREEN = (96, 160, 90)
DARK_GREEN = (50, 110, 60)
BROWN = (130, 90, 50)
RED = (200, 40, 40)
WHITE = (250, 250, 245)
LINEN = (245, 240, 225)
BRONZE = (176, 120, 60)
GOLD = (220, 180, 40)
BLUE = (60, 80, 170)
PURPLE = (120, 60, 130)
GREY = (90, 90, 90)


class Canvas:
    def __init__(self, width, height, background):
        self.width, self.height = width, height
        self.rows = [bytearray(bytes(background) * width) for _ in range(height)]

    def dot(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][3 * x:3 * x + 3] = bytes(colour)

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.rows[y][3 * x:3 * x + 3] = bytes(colour)

    def frame(self, x0, y0, x1, y1, colour, thickness=1):
        self.rect(x0, y0, x1, y0 + thickness, colour)
        self.rect(x0, y1 - thickness, x1, y1, colour)
        self.rect(x0, y0, x0 + thickness, y1, colour)
        self.rect(x1 - thickness, y0, x1, y1, colour)

    def ellipse(self, cx, cy, rx, ry, colour):
        for y in range(cy - ry, cy + ry + 1):
            for x in range(cx - rx, cx + rx + 1):
                if ((x - cx) * ry) ** 2 + ((y - cy) * rx) ** 2 <= (rx * ry) ** 2:
                    self.dot(x, y, colour)

    def line(self, points, colour, width=2, dash=0):
        """A polyline of discs; with dash, drawn dash pixels on and dash pixels off."""
        travelled = 0
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            steps = max(abs(x1 - x0), abs(y1 - y0), 1)
            for i in range(steps + 1):
                travelled += 1
                if dash and (travelled // dash) % 2:
                    continue
                x = x0 + (x1 - x0) * i // steps
                y = y0 + (y1 - y0) * i // steps
                self.ellipse(x, y, width // 2, width // 2, colour)

    def png(self):
        raw = b"".join(b"\x00" + bytes(row) for row in self.rows)

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def journeys_map():
    """The land between the sea and the Jordan, Egypt below: Bethlehem to Egypt, back to
    Nazareth (dashed red)."""
    c = Canvas(400, 300, SAND)
    # The Great Sea on the west, its coast running from north to the delta.
    for y in range(300):
        coast = 150 + (y * 40) // 300 if y < 200 else 190 - (y - 200) // 2
        c.rect(0, y, coast, y + 1, SEA)
    # The Nile and its delta.
    c.line([(120, 299), (140, 255), (150, 240)], WATER, 4)
    c.line([(140, 255), (118, 238)], WATER, 3)
    c.line([(140, 255), (165, 236)], WATER, 3)
    # The sea of Galilee, the Jordan and the Dead Sea.
    c.ellipse(300, 50, 10, 16, WATER)
    c.line([(300, 66), (296, 90), (304, 115), (298, 140), (302, 158)], WATER, 3)
    c.ellipse(302, 180, 11, 26, WATER)
    # Towns: Nazareth, Jerusalem, Bethlehem; the stay in Egypt.
    towns = {"nazareth": (270, 60), "jerusalem": (270, 165), "bethlehem": (266, 180),
             "egypt": (160, 270)}
    c.line([towns["bethlehem"], (220, 230), towns["egypt"]], RED, 3, dash=6)
    c.line([towns["egypt"], (230, 170), (250, 110), towns["nazareth"]], RED, 3, dash=6)
    for x, y in towns.values():
        c.ellipse(x, y, 6, 6, GREY)
        c.ellipse(x, y, 4, 4, RED)
    # A compass needle pointing north.
    c.line([(370, 40), (370, 10)], GREY, 3)
    c.line([(362, 18), (370, 8), (378, 18)], GREY, 3)
    c.frame(0, 0, 400, 300, GREY, 2)
    return c


def eden_diagram():
    """The garden with the tree of life at its centre and one river parting into four."""
    c = Canvas(300, 300, SAND)
    c.ellipse(150, 150, 110, 110, (180, 215, 150))
    # The four rivers: Pishon, Gihon, Hiddekel, Euphrates.
    for end in [(20, 20), (280, 30), (30, 285), (285, 280)]:
        c.line([(150, 150), ((150 + end[0]) // 2 + 12, (150 + end[1]) // 2 - 8), end], WATER, 5)
    c.ellipse(150, 150, 14, 14, WATER)
    # The tree of life and the tree of knowledge beside it.
    for x, y, crown in [(130, 118, GREEN), (178, 124, DARK_GREEN)]:
        c.rect(x - 4, y, x + 4, y + 30, BROWN)
        c.ellipse(x, y, 20, 18, crown)
    c.frame(0, 0, 300, 300, GREY, 2)
    return c


def tabernacle_plan():
    """The court of linen with its gate to the east (right), the altar, the laver and the tent
    with the holy place and the most holy place."""
    c = Canvas(240, 180, SAND)
    c.rect(20, 40, 220, 140, LINEN)
    c.frame(20, 40, 220, 140, WHITE, 3)
    # The gate: blue, purple and scarlet.
    for i, colour in enumerate([BLUE, PURPLE, RED]):
        c.rect(217, 70 + 14 * i, 222, 84 + 14 * i, colour)
    c.rect(160, 78, 184, 102, BRONZE)          # the altar of burnt offering
    c.ellipse(135, 90, 8, 8, BRONZE)           # the laver
    c.rect(40, 72, 120, 108, (150, 110, 80))   # the tent
    c.rect(40, 72, 67, 108, (110, 70, 60))     # the most holy place
    c.rect(48, 84, 60, 96, GOLD)               # the ark
    c.rect(67, 72, 69, 108, BLUE)              # the veil
    c.frame(0, 0, 240, 180, GREY, 2)
    return c


PICTURES = {"0111": journeys_map, "0112": eden_diagram, "c1-1": tabernacle_plan}


def table_sizes():
    """Code -> (width, height) from the picture tables of the configuration master."""
    with open(CONFIG, encoding="utf-8") as f:
        text = f.read()
    sizes = {}
    for table in re.findall(r"^TU\w\w=(.*)$", text, re.MULTILINE):
        for code, width, height in re.findall(r"(.{4})=(\d{3}),(\d{3});", table):
            sizes[code] = (int(width), int(height))
    return sizes


def main(argv):
    check_only = "--check" in argv[1:]
    sizes = table_sizes()
    problems = []
    if sorted(sizes) != sorted(PICTURES):
        problems.append("the picture tables name %s, the pictures are %s"
                        % (sorted(sizes), sorted(PICTURES)))
    for code, draw in PICTURES.items():
        canvas = draw()
        if sizes.get(code) != (canvas.width, canvas.height):
            problems.append("tu%s is %dx%d, its table entry says %s"
                            % (code, canvas.width, canvas.height, sizes.get(code)))
        path = os.path.join(TARGET, "tu%s.jpg" % code)
        data = canvas.png()
        try:
            with open(path, "rb") as f:
                current = f.read()
        except OSError:
            current = None
        if current == data:
            continue
        if check_only:
            problems.append("%s is stale; run tools/sample/make_pictures.py"
                            % os.path.relpath(path, ROOT))
        else:
            os.makedirs(TARGET, exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    for problem in problems:
        print("make_pictures: %s" % problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
