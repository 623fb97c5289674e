#!/usr/bin/python3
"""Writes the TrueType fonts the font tests embed, into the folder given:
  shapes-unicode.ttf  a (3,1) cmap and post names; glyphs A (square), B (triangle), C (four
                      off-curve points), D (composite: A at half size), E (composite of D and B,
                      nested), F (composite that contains itself)
  shapes-symbol.ttf   the same glyphs under a (3,0) cmap at F041... (symbolic)
  shapes-mac.ttf      the same glyphs under a (1,0) format 0 cmap only, post format 3
  shapes-backwards.ttf  shapes-unicode.ttf with its glyph data stored last glyph first, so
                      the loca offsets fall (as some subsetters write them)
  dejavu-subset.ttf   DejaVuSans cut down to "Helo, Wrd!" (a subset font)
Needs Debian's python3-fonttools (and fonts-dejavu-core for the subset).
"""
import os
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib.tables._g_l_y_f import Glyph, GlyphComponent
from fontTools.ttLib.tables._c_m_a_p import cmap_format_0, cmap_format_4

ORDER = [".notdef", "A", "B", "C", "D", "E", "F", "Aacute"]


def simple(draw):
    pen = TTGlyphPen(None)
    draw(pen)
    return pen.glyph()


def square(pen):
    pen.moveTo((100, 0)); pen.lineTo((100, 700)); pen.lineTo((600, 700)); pen.lineTo((600, 0))
    pen.closePath()


def triangle(pen):
    pen.moveTo((50, 0)); pen.lineTo((350, 700)); pen.lineTo((650, 0)); pen.closePath()


def composite(parts):
    g = Glyph()
    g.numberOfContours = -1
    g.components = []
    for name, dx, dy, scale in parts:
        c = GlyphComponent()
        c.glyphName = name
        c.x, c.y = dx, dy
        c.flags = 0x0002 | 0x0001  # XY values, word arguments
        if scale is not None:
            c.transform = [[scale, 0], [0, scale]]
        g.components.append(c)
    return g


def build(path, cmap_kind):
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(ORDER)
    codes = {"A": 0x41, "B": 0x42, "C": 0x43, "D": 0x44, "E": 0x45, "F": 0x46, "Aacute": 0xC1}
    fb.setupCharacterMap({v: k for k, v in codes.items()})
    glyphs = {
        ".notdef": Glyph(),
        "A": simple(square),
        "B": simple(triangle),
        # Four off-curve points and no on-curve point: a rounded blob.
        "C": None,
        "D": composite([("A", 0, 0, 0.5)]),
        "E": composite([("D", 0, 300, None), ("B", 300, 0, 0.5)]),
        # Made to contain itself once the bounds are computed.
        "F": composite([("B", 0, 0, None), ("B", 0, 0, None)]),
        "Aacute": composite([("A", 0, 0, None), ("B", 200, 720, 0.3)]),
    }
    c = Glyph()
    c.numberOfContours = 1
    from fontTools.ttLib.tables._g_l_y_f import GlyphCoordinates
    c.coordinates = GlyphCoordinates([(350, 0), (700, 350), (350, 700), (0, 350)])
    c.flags = bytearray([0, 0, 0, 0])
    c.endPtsOfContours = [3]
    c.program = None
    from fontTools.ttLib.tables import ttProgram
    c.program = ttProgram.Program(); c.program.fromBytecode(b"")
    glyphs["C"] = c
    fb.setupGlyf(glyphs)
    glyf = fb.font["glyf"]
    fb.setupHorizontalMetrics({n: (700, getattr(glyf[n], "xMin", 0)) for n in ORDER})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": "Shapes", "styleName": "Regular"})
    fb.setupOS2()
    fb.setupPost(keepGlyphNames=cmap_kind != "mac")
    font = fb.font
    font["glyf"]["F"].components[0].glyphName = "F"
    font.recalcBBoxes = False
    if cmap_kind != "unicode":
        from fontTools.ttLib import newTable
        table = newTable("cmap")
        table.tableVersion = 0
        if cmap_kind == "symbol":
            sub = cmap_format_4(4)
            sub.platformID, sub.platEncID, sub.language = 3, 0, 0
            sub.cmap = {0xF000 + v: k for k, v in codes.items() if v < 0x80}
        else:
            sub = cmap_format_0(0)
            sub.platformID, sub.platEncID, sub.language = 1, 0, 0
            # MacRoman: Aacute is code 231.
            sub.cmap = {i: ".notdef" for i in range(256)}
            for k, v in codes.items():
                sub.cmap[231 if k == "Aacute" else v] = k
        table.tables = [sub]
        font["cmap"] = table
    font.save(path)


def store_backwards(src, dst):
    data = bytearray(open(src, "rb").read())
    tables = {}
    for i in range(int.from_bytes(data[4:6], "big")):
        e = 12 + 16 * i
        tables[bytes(data[e:e + 4])] = (int.from_bytes(data[e + 8:e + 12], "big"),
                                        int.from_bytes(data[e + 12:e + 16], "big"))
    head, loca, glyf = tables[b"head"][0], tables[b"loca"], tables[b"glyf"][0]
    long_loca = int.from_bytes(data[head + 50:head + 52], "big") == 1
    size, unit = (4, 1) if long_loca else (2, 2)
    offsets = [int.from_bytes(data[loca[0] + k:loca[0] + k + size], "big") * unit
               for k in range(0, loca[1], size)]
    blobs = [bytes(data[glyf + a:glyf + b]) for a, b in zip(offsets, offsets[1:])]
    at, starts = 0, [0] * len(blobs)
    for g in reversed(range(len(blobs))):
        starts[g] = at
        data[glyf + at:glyf + at + len(blobs[g])] = blobs[g]
        at += len(blobs[g])
    for g, start in enumerate(starts + [at]):
        data[loca[0] + g * size:loca[0] + (g + 1) * size] = (start // unit).to_bytes(size, "big")
    open(dst, "wb").write(data)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for kind in ("unicode", "symbol", "mac"):
        build(os.path.join(out, "shapes-%s.ttf" % kind), kind)
    store_backwards(os.path.join(out, "shapes-unicode.ttf"), os.path.join(out, "shapes-backwards.ttf"))
    src = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
    if os.path.exists(src):
        from fontTools import subset
        opts = subset.Options()
        opts.name_IDs = []
        opts.notdef_outline = True
        font = subset.load_font(src, opts)
        sub = subset.Subsetter(opts)
        sub.populate(text="Helo, Wrd!")
        sub.subset(font)
        subset.save_font(font, os.path.join(out, "dejavu-subset.ttf"), opts)


if __name__ == "__main__":
    main()
