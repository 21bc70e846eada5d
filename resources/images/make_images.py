#!/usr/bin/env python3
"""Writes Vintrel's bitmaps and icons from the pixel art in this file.

Each picture is drawn as rows of letters, one letter a pixel, in the
16-colour palette below. Run it after changing a picture:
    python3 resources/images/make_images.py
It writes toolbar.bmp (36 images of 16 x 15 in one 4-bit strip), tab1.bmp,
tab2.bmp, frame.ico and querywindow.ico into resources/.
"""
import os
import struct

# The standard 16-colour palette. Silver is the toolbar's background: the
# toolbar maps it to the button face colour.
PALETTE = {
    '.': (0, 0, 0), 'r': (128, 0, 0), 'g': (0, 128, 0), 'y': (128, 128, 0),
    'b': (0, 0, 128), 'p': (128, 0, 128), 't': (0, 128, 128), 's': (192, 192, 192),
    'd': (128, 128, 128), 'R': (255, 0, 0), 'G': (0, 255, 0), 'Y': (255, 255, 0),
    'B': (0, 0, 255), 'M': (255, 0, 255), 'C': (0, 255, 255), 'W': (255, 255, 255),
}
ORDER = '.rgybptsdRGYBMCW'
BG = 's'

TOOLBAR = {}

TOOLBAR[0] = """
ss..........ssss
ss.WWWWWWW.W.sss
ss.WWWWWWW.WW.ss
ss.WWWWWWW.....s
ss.WWWWWWWWWWW.s
ss.WWWWWWWWWWW.s
ss.WWWWWWWWWWW.s
ss.WWWWWWWWWWW.s
ss.WWWWWWWWWWW.s
ss.WWWWWWWWWWW.s
ss.WWWWWWWWWWW.s
ss.WWWWWWWWWWW.s
ss.WWWWWWWWWWW.s
ss.............s
ssssssssssssssss
"""  # new sheet

TOOLBAR[1] = """
ssssssssssssssss
sssssssssss...ss
ssssssssss.sss.s
s...sssssssss..s
.YWY.......s...s
.WYWYWYWYW.sssss
.YWYWYWYWY.sssss
.WYWY...........
.YWY.yyyyyyyyy.s
.WY.yyyyyyyyy.ss
.Y.yyyyyyyyy.sss
..yyyyyyyyy.ssss
...........sssss
ssssssssssssssss
ssssssssssssssss
"""  # open folder

TOOLBAR[2] = """
ssssssssssssssss
s..............s
s.b.WWWWWWWW.b.s
s.b.WWWWWWWW.b.s
s.b.WWWWWWWW.b.s
s.b.WWWWWWWW.b.s
s.b.WWWWWWWW.b.s
s.bb........bb.s
s.bbbbbbbbbbbb.s
s.bbb.......bb.s
s.bbb.ss..s.bb.s
s.bbb.ss..s.bb.s
s.bbb.ss..s.bb.s
ss.............s
ssssssssssssssss
"""  # disk

TOOLBAR[3] = """
ssssssssssssssss
...........sssss
.bbbbbbbbb.sssss
...........sssss
.WWWWWWWWW.sssss
.WWWWWWWWW.sssss
.WWWWWWWW.RRsss
.WWWWWWW.RRRRss
.WWWWWW.RRRRRRs
.WWWWW.WRRRRRs.
......WWWRRRs.s
sssss.WWWWRs.ss
ssssss.WWWs.sss
sssssss....ssss
ssssssssssssssss
"""  # window with eraser

TOOLBAR[4] = """
ssssssssssssssss
ssss.sssss.sssss
ssss.sssss.sssss
ssss.sssss.sssss
ssss..sss..sssss
sssss.sss.ssssss
sssss..s..ssssss
ssssss...sssssss
sssssss.ssssssss
ssssss.s.sssssss
sss...ss...sssss
ss.ss.ss.ss.ssss
ss.ss.ss.ss.ssss
ss.ss.ss.ss.ssss
sss..ssss..sssss
"""  # scissors

TOOLBAR[5] = """
........ssssssss
.WWWWWW..sssssss
.WWWWWW.W.ssssss
.W....W.........
.WWWWWWWW.WWWWW..
.W......W.WWWWW.W.
.WWWWWWWW.W...W....
.W......W.WWWWWWWW.
.WWWWWWWW.W......W.
..........WWWWWWWW.
ssssssssss.W.....W.
ssssssssss.WWWWWWW.
ssssssssss.........
ssssssssssssssss
ssssssssssssssss
"""  # two sheets

TOOLBAR[6] = """
ssssss....ssssss
s.....WsW.....ss
.yyy.W....W.yy.s
.yy............s
.yy.WWWWWWWW.y.s
.yy.W......W.y.s
.yy.WWWWWWWW.y.s
.yy.W......W.y.s
.yy.WWWWWWWW.y.s
.yy.W....WWW.y.s
.yy.WWWWWWWW.y.s
.yy..........y.s
.yyyyyyyyyyyyy.s
s.............ss
ssssssssssssssss
"""  # clipboard

TOOLBAR[7] = """
ssssssssssssssss
ss...ssss...ssss
ss.b.ssss.b.ssss
s..b.....bb..sss
s.bbb.b.bbbb.sss
.bbbb.b.bbbbb.ss
.bbbb.b.bbbbb.ss
.bbb.....bbbb.ss
.bb.sssss.bbb.ss
....sssss....sss
.Cb.sssss.Cb.sss
.CC.sssss.CC.sss
....sssss....sss
ssssssssssssssss
ssssssssssssssss
"""  # binoculars

TOOLBAR[8] = """
ssssssssssssssss
ssssssssssssssss
sssssbssssssssss
ssssbbssssssssss
sssbbbbbbbbsssss
ssbbbbbbbbbbbsss
sssbbsssssbbbsss
ssssbsssssssbbss
ssssssssssssbbss
ssssssssssssbbss
sssssssssssbbsss
sssssssssbbbssss
sssssssbbbssssss
ssssssssssssssss
ssssssssssssssss
"""  # undo: curved arrow back

TOOLBAR[9] = """
ssssssssssssssss
ssssssssssssssss
ssssssssssbsssss
ssssssssssbbssss
sssssbbbbbbbbsss
sssbbbbbbbbbbbss
sssbbbsssssbbsss
ssbbsssssssbssss
ssbbssssssssssss
ssbbssssssssssss
sssbbsssssssssss
ssssbbbsssssssss
ssssssbbbsssssss
ssssssssssssssss
ssssssssssssssss
"""  # redo

TOOLBAR[10] = """
ssssssssssssssss
sssss.....ssssss
ssss.RRRRR.sssss
sss.RRRRRRR.ssss
ss.RRRRRRRRR.sss
s.RRRRRRRRRRR.ss
s.RWWWWWWWWWR.ss
s.RWWWWWWWWWR.ss
s.RRRRRRRRRRR.ss
ss.RRRRRRRRR.sss
sss.RRRRRRR.ssss
ssss.RRRRR.sssss
sssss.....ssssss
ssssssssssssssss
ssssssssssssssss
"""  # stop sign

TOOLBAR[11] = """
ssssssssssssssss
sssss.....ssssss
ssss.BBBBB.sssss
sss.BBWWWBB.ssss
sss.BWBBBWB.ssss
sss.BBBBBWB.ssss
ssss.BBBWB.sssss
sssss.BWB.ssssss
sssss.BWB.ssssss
ssssss...sssssss
sssss.BWB.ssssss
sssss.BBB.ssssss
ssssss...sssssss
ssssssssssssssss
ssssssssssssssss
"""  # help

TOOLBAR[12] = """
ssssssssssssssss
ssss.sssssssssss
ssss..ssssssssss
ssss.G.sssssssss
ssss.GG.ssssssss
ssss.GGG.sssssss
ssss.GGGG.ssssss
ssss.GGGGG.sssss
ssss.GGGG.ssssss
ssss.GGG.sssssss
ssss.GG.ssssssss
ssss.G.sssssssss
ssss..ssssssssss
ssss.sssssssssss
ssssssssssssssss
"""  # execute: green triangle

TOOLBAR[13] = """
ssssssssssssssss
ssss........ssss
ssss.WWWWWW.ssss
ssss.W....W.ssss
ssss.WWWWWW.ssss
s..............s
.ssssssssssssss.
.ssssssssssGGss.
.ssssssssssssss.
................
.ssssssssssssss.
s.WWWWWWWWWWWW.s
ss............ss
ssssssssssssssss
ssssssssssssssss
"""  # print

TOOLBAR[14] = """
ssssssssssssssss
sssssssGssssssss
ssssssGGGsssssss
sssssGGGGGssssss
ssssGGGGGGGsssss
sssssGGGGGssssss
ssssGGGGGGGsssss
sssGGGGGGGGGssss
ssGGGGGGGGGGGsss
sssGGGGGGGGGssss
ssGGGGGGGGGGGsss
sGGGGGGGGGGGGGss
sssssssrrsssssss
sssssssrrsssssss
ssssssssssssssss
"""  # tree

TOOLBAR[15] = """
ssssssssssssssss
ssssssssssssYsss
sssssssssYssYssY
ssssssssssYsssYs
sssssssssssYYsss
ssssssssss..sYss
sssssssss..sssYs
ssssssss..ssssss
sssssss..sssssss
ssssss..ssssssss
sssss..sssssssss
ssss..ssssssssss
sss..sssssssssss
ss..ssssssssssss
ssssssssssssssss
"""  # wand

TOOLBAR[16] = """
ssssssssssssssss
sssss.....ssssss
sss..BBGBB..ssss
ss.BBGGGBBBB.sss
ss.BGGGGGBBB.sss
s.BBBGGGBBGBB.ss
s.BBBBGBBGGGB.ss
s.BBBBBBBGGGB.ss
s.BBBGBBBBGBB.ss
ss.BGGGBBBBB.sss
ss.BBGGBBBBB.sss
sss..BBBBB..ssss
sssss.....ssssss
ssssssssssssssss
ssssssssssssssss
"""  # globe

TOOLBAR[17] = """
ssssssssssssssss
ssssssssssssssss
s..............s
s.bbbbbbbbbbbb.s
s..............s
s.WWWWWWWWWWWW.s
s.WWWWWWWWWWWW.s
s.WWWWWWWWWWWW.s
s.WWWWWWWWWWWW.s
s.WWWWWWWWWWWW.s
s.WWWWWWWWWWWW.s
s.WWWWWWWWWWWW.s
s..............s
ssssssssssssssss
ssssssssssssssss
"""  # window

TOOLBAR[18] = """
ssssssssssssssss
.........sssssss
.bbbbbbb.sssssss
.........sssssss
.WW..........sss
.WW.bbbbbbbb.sss
.WW..........sss
.WW.WW.........s
.WW.WW.bbbbbbb.s
....WW.........s
ssss.W.WWWWWWW.s
ssss...WWWWWWW.s
ssssss.WWWWWWW.s
ssssss.........s
ssssssssssssssss
"""  # cascade

TOOLBAR[19] = """
ssssssssssssssss
s..............s
s.bbbbbbbbbbbb.s
s..............s
s.WWWW.WWW.WWW.s
s..............s
s.WWWW.WWW.WWW.s
s..............s
s.WWWW.WWW.WWW.s
s..............s
s.WWWW.WWW.WWW.s
s..............s
s.WWWWWWWWWWWW.s
s..............s
ssssssssssssssss
"""  # window with table: show results pane

TOOLBAR[20] = """
ssssssssssssssss
s..............s
s.WWWWWWWWWWWW.s
s.W.WW..W.WWWW.s
s.WWWWWWWWWWWW.s
s.W...W.WW.WWW.s
s.WWWWWWWWWWWW.s
s.W..W.W..WWWW.s
s.WWWWWWWWWWWW.s
s.W.W..WWW.WWW.s
s.WWWWWWWWWWWW.s
s..............s
ssssssssssssssss
ssssssssssssssss
ssssssssssssssss
"""  # text page

TOOLBAR[21] = """
......ssssssssss
.WWWW.W.ssssssss
.W..W...ssssssss
.WWWWWW.ssssssss
.W...WW.ssssssss
.WWWWWW.bssssssss
........bbsssss
ssss.....bbb...s
ssss.bbbbbbbbb.s
ssss.....bbb...s
ssss.WWWWbbWWW.s
ssss.WWWWbWWWW.s
ssss.WWWWWWWWW.s
ssss...........s
ssssssssssssssss
"""  # window with incoming sheet: insert template

TOOLBAR[22] = """
ssssssssssssssss
sssss......sssss
sss..yyyyyy..sss
ss.yyyyyyyyyy.ss
ss..yyyyyyyy..ss
ss.y........y.ss
ss.yyyyyyyyyy.ss
ss..yyyyyyyy..ss
ss.y........y.ss
ss.yyyyyyyyyy.ss
ss..yyyyyyyy..ss
sss..........sss
ssssssssssssssss
ssssssssssssssss
ssssssssssssssss
"""  # database cylinder

TOOLBAR[23] = """
ssssssssssssssss
sssss......sssss
sss..yyyyyy..sss
ss.yyyyyyyyyy.ss
ss..yyyyyyyy..ss
ss.y........y.ss
ss.yyyyyyyyyy.ss
ss..yyyyyyyy..ss
ss.y......sGs.ss
ss.yyyyyyysGs.ss
ss..yyyyyGGGGGss
sss.......sGssss
ssssssssssGsssss
ssssssssssssssss
ssssssssssssssss
"""  # new database

def blank_with(mark, colour):
    rows = [BG * 16 for _ in range(15)]
    return rows

# The remaining slots hold simple marks so that every image of the strip is
# a picture of its own.
EXTRA_MARKS = {
    24: "refresh", 25: "key", 26: "table", 27: "column", 28: "index",
    29: "user", 30: "lock", 31: "clock", 32: "connect", 33: "disconnect",
    34: "function", 35: "procedure",
}

def generated(kind):
    g = [[BG] * 16 for _ in range(15)]
    def box(x0, y0, x1, y1, c, fill=None):
        for x in range(x0, x1 + 1):
            g[y0][x] = c; g[y1][x] = c
        for y in range(y0, y1 + 1):
            g[y][x0] = c; g[y][x1] = c
        if fill:
            for y in range(y0 + 1, y1):
                for x in range(x0 + 1, x1):
                    g[y][x] = fill
    def line(x0, y0, x1, y1, c):
        n = max(abs(x1 - x0), abs(y1 - y0)) or 1
        for i in range(n + 1):
            g[round(y0 + (y1 - y0) * i / n)][round(x0 + (x1 - x0) * i / n)] = c
    if kind == "refresh":
        for x, y in [(5,3),(6,2),(7,2),(8,2),(9,2),(10,3),(11,4),(12,5),(12,6),(12,7),(11,8),(10,9),
                     (4,4),(3,5),(3,6),(3,7),(4,8),(5,9),(6,10),(7,10),(8,10),(9,10)]:
            g[y][x] = 'g'
        line(10, 9, 13, 9, 'g'); line(13, 9, 13, 12, 'g')
    elif kind == "key":
        box(2, 4, 6, 8, 'y', 'Y'); line(7, 6, 13, 6, 'y'); line(11, 7, 11, 8, 'y'); line(13, 7, 13, 9, 'y')
    elif kind == "table":
        box(1, 2, 14, 12, '.', 'W')
        for x in range(2, 14): g[3][x] = 'b'
        line(1, 4, 14, 4, '.'); line(1, 8, 14, 8, '.'); line(6, 4, 6, 12, '.'); line(10, 4, 10, 12, '.')
    elif kind == "column":
        box(1, 2, 14, 12, '.', 'W'); box(6, 2, 9, 12, '.', 'Y')
    elif kind == "index":
        box(2, 1, 12, 13, '.', 'W')
        for y in (3, 6, 9): line(4, y, 10, y, 'd')
        box(11, 3, 14, 5, 'r', 'R'); box(11, 8, 14, 10, 'g', 'G')
    elif kind == "user":
        box(5, 1, 10, 6, '.', 'Y'); box(3, 8, 12, 13, '.', 'B')
    elif kind == "lock":
        box(5, 1, 10, 6, '.'); box(3, 6, 12, 13, '.', 'Y'); g[9][7] = '.'; g[10][7] = '.'
    elif kind == "clock":
        box(2, 1, 13, 12, '.', 'W'); line(7, 3, 7, 7, '.'); line(7, 7, 10, 7, 'R')
    elif kind == "connect":
        box(1, 5, 5, 9, '.', 'd'); box(10, 5, 14, 9, '.', 'd'); line(6, 7, 9, 7, 'G')
    elif kind == "disconnect":
        box(1, 5, 5, 9, '.', 'd'); box(10, 5, 14, 9, '.', 'd'); line(6, 4, 9, 10, 'R'); line(6, 10, 9, 4, 'R')
    elif kind == "function":
        line(6, 12, 8, 2, 'b'); line(8, 2, 11, 2, 'b'); line(4, 6, 10, 6, 'b')
    elif kind == "procedure":
        box(2, 1, 13, 13, '.', 'W')
        for y in (3, 5, 7, 9, 11): line(4 + (y % 4), y, 11, y, 't')
    return ["".join(r) for r in g]


def parse(art):
    rows = [r for r in art.strip("\n").split("\n")]
    rows = [(r + BG * 16)[:16] for r in rows][:15]
    while len(rows) < 15:
        rows.append(BG * 16)
    return rows


def strip_rows():
    images = []
    for i in range(36):
        if i in TOOLBAR:
            images.append(parse(TOOLBAR[i]))
        else:
            images.append(generated(EXTRA_MARKS[i]))
    return ["".join(img[y] for img in images) for y in range(15)]


def write_bmp4(path, rows):
    """A bottom-up 4-bit bitmap with the 16-colour palette."""
    width, height = len(rows[0]), len(rows)
    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for x in range(0, width, 2):
            hi = ORDER.index(row[x])
            lo = ORDER.index(row[x + 1]) if x + 1 < width else 0
            line.append((hi << 4) | lo)
        line += b"\0" * (stride - len(line))
        pixels += line
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in (PALETTE[c] for c in ORDER))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 16)
    offset = 14 + len(header) + len(palette)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset))
        f.write(header + palette + pixels)


def icon_image(rows, scale, transparent='M'):
    size = len(rows) * scale
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):
        row = rows[y // scale]
        bits = 0
        mask_line = bytearray()
        for x in range(size):
            c = row[x // scale]
            if c == transparent:
                xor += b"\0\0\0\0"
                bits = (bits << 1) | 1
            else:
                r, g, b = PALETTE[c]
                xor += bytes((b, g, r, 255))
                bits <<= 1
            if x % 8 == 7:
                mask_line.append(bits & 0xFF)
                bits = 0
        mask_line += b"\0" * (mask_stride - len(mask_line))
        mask += mask_line
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return size, header + xor + mask


def write_ico(path, rows):
    images = [icon_image(rows, 2), icon_image(rows, 1)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


# The frame's icon: a database cylinder with a query sheet in front.
FRAME_ICON = """
MMMM........MMMM
MM..yyyyyyyy..MM
M.yyyyyyyyyyyy.M
M..yyyyyyyyyy..M
M.y..........y.M
M.yyyyyyyyyyyy.M
M..yyyyyy.........
M.y......WWWWWWW.
M.yyyyyy.W.....W.
M..yyyyy.WWWWWWW.
M.y......W...WWW.
M.yyyyyy.WWWWWWW.
MM..yyyy.W....WW.
MMMM.....WWWWWWW.
MMMMMMMM.........
MMMMMMMMMMMMMMMMM
"""

# The query window's icon: a sheet with lines of SQL and a green run mark.
QUERY_ICON = """
MM..........MMMM
MM.WWWWWWW.W.MMM
MM.WWWWWWW.WW.MM
MM.WbbbWWW.....M
MM.WWWWWWWWWWW.M
MM.WbbWbbbbWWW.M
MM.WWWWWWWWWWW.M
MM.WbbbbWbbWWW.M
MM.WWWWWWWW.WW.M
MM.WbbbWWWW..W.M
MM.WWWWWWWW.G.WM
MM.WbbWWWWW.GG.M
MM.WWWWWWWW.G.WM
MM.WWWWWWWW..W.M
MM.............M
MMMMMMMMMMMMMMMM
"""


def icon_rows(art):
    rows = [(r + 'M' * 16)[:16] for r in art.strip("\n").split("\n")][:16]
    while len(rows) < 16:
        rows.append('M' * 16)
    return rows


def tab_rows(art):
    rows = [(r + 'W' * 16)[:16] for r in art.strip("\n").split("\n")][:16]
    while len(rows) < 16:
        rows.append('W' * 16)
    return rows


# Tab images: a small grid for "Results", a speech sheet for "Messages".
TAB1 = """
WWWWWWWWWWWWWWWW
W..............W
W.bbbbbbbbbbbb.W
W..............W
W.WWW.WWWW.WWW.W
W..............W
W.WWW.WWWW.WWW.W
W..............W
W.WWW.WWWW.WWW.W
W..............W
W.WWW.WWWW.WWW.W
W..............W
WWWWWWWWWWWWWWWW
WWWWWWWWWWWWWWWW
"""

TAB2 = """
WWWWWWWWWWWWWWWW
WW...........WWW
W.YYYYYYYYYYY.WW
W.Y.........Y.WW
W.YYYYYYYYYYY.WW
W.Y......YYYY.WW
W.YYYYYYYYYYY.WW
W.Y....YYYYYY.WW
W.YYYYYYYYYYY.WW
WW....YY.....WWW
WWWWW.Y.WWWWWWWW
WWWWW..WWWWWWWWW
WWWWW.WWWWWWWWWW
WWWWWWWWWWWWWWWW
"""


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.dirname(here)
    write_bmp4(os.path.join(out, "toolbar.bmp"), strip_rows())
    write_bmp4(os.path.join(out, "tab1.bmp"), tab_rows(TAB1))
    write_bmp4(os.path.join(out, "tab2.bmp"), tab_rows(TAB2))
    write_ico(os.path.join(out, "frame.ico"), icon_rows(FRAME_ICON))
    write_ico(os.path.join(out, "querywindow.ico"), icon_rows(QUERY_ICON))


if __name__ == "__main__":
    main()
