#!/usr/bin/python3
"""Converts a Type 1 font into an OpenType CFF file and its bare CFF table, for the decoder
tests: make_cff_font.py FONT.t1 OUT.otf OUT.cff"""
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.basePen import NullPen
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.t1Lib import T1Font

src, otf, cff = sys.argv[1:4]
t1 = T1Font(src)
t1.parse()
glyphs = t1.getGlyphSet()
names = [".notdef"] + sorted(n for n in glyphs.keys() if n != ".notdef")
charstrings = {}
widths = {}
for name in names:
    cs = glyphs[name]
    cs.draw(NullPen())  # runs the charstring, which sets its width
    widths[name] = int(round(cs.width))
    pen = T2CharStringPen(widths[name], glyphs)
    cs.draw(pen)
    charstrings[name] = pen.getCharString()
fb = FontBuilder(1000, isTTF=False)
fb.setupGlyphOrder(names)
fb.setupCharacterMap({ord("A"): "A"})
fb.setupCFF(t1.font["FontName"], {"FullName": t1.font["FontName"]}, charstrings, {})
fb.setupHorizontalMetrics({n: (widths[n], 0) for n in names})
fb.setupHorizontalHeader(ascent=800, descent=-200)
fb.setupNameTable({"familyName": "Test", "styleName": "Regular"})
fb.setupOS2()
fb.setupPost()
fb.save(otf)
with open(cff, "wb") as f:
    f.write(fb.font.getTableData("CFF "))
