#!/usr/bin/env python3
"""Writes text-heavy PDFs in embedded TrueType fonts: make-truetype-pdfs.py OUTDIR [PAGES] [FONTPAGES]

  word-truetype.pdf  10 pt paragraphs in DejaVu Sans and Serif embedded as simple TrueType
                     fonts (WinAnsiEncoding), one Tj per line, as word processors write them;
  cid-truetype.pdf   the same text in Identity-H CIDFontType2 fonts, as browsers write them;
  font-per-page.pdf  FONTPAGES pages (default 0: not written), each with its own embedded
                     subset font object, as merged documents carry them (for the font cache's
                     memory bound).
Needs fonts-dejavu-core and python3-fonttools.
"""
import io
import os
import random
import sys
import zlib

from fontTools import subset
from fontTools.ttLib import TTFont

DEJAVU = "/usr/share/fonts/truetype/dejavu"
FONTS = [("F1", "DejaVuSans"), ("F2", "DejaVuSerif"), ("F3", "DejaVuSans-Bold")]
WORDS = ("the of and a to in is that for it as was with be by on not he this are or his from at "
         "which but have an they you were her she there been one all we their has would when if "
         "report quarterly revenue customer service delivery schedule budget meeting project "
         "analysis committee approval document version summary results Zürich café naïve").split()


class Pdf:
    def __init__(self):
        self.objects = {}

    def add(self, num, body):
        self.objects[num] = body if isinstance(body, bytes) else body.encode("latin-1")

    def stream(self, num, data, extra=""):
        packed = zlib.compress(data)
        self.add(num, f"<< /Length {len(packed)} /Filter /FlateDecode {extra}>>stream\n".encode()
                 + packed + b"\nendstream")

    def write(self, path, pages_num):
        out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
        offsets = {}
        for num in sorted(self.objects):
            offsets[num] = len(out)
            out += b"%d 0 obj\n" % num + self.objects[num] + b"\nendobj\n"
        xref = len(out)
        size = max(self.objects) + 1
        out += b"xref\n0 %d\n0000000000 65535 f \n" % size
        for num in range(1, size):
            out += b"%010d 00000 n \n" % offsets[num] if num in offsets else b"0000000000 65535 f \n"
        out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (size, xref)
        with open(path, "wb") as f:
            f.write(out)


def lines_of_text(rng, count):
    return [" ".join(rng.choice(WORDS) for _ in range(rng.randint(11, 14))) for _ in range(count)]


def font_metrics(path):
    font = TTFont(path)
    cmap = font.getBestCmap()
    scale = 1000 / font["head"].unitsPerEm
    hmtx = font["hmtx"]
    return font, cmap, hmtx, scale


def simple_font(pdf, num, name):
    path = os.path.join(DEJAVU, name + ".ttf")
    font, cmap, hmtx, scale = font_metrics(path)
    widths = []
    for code in range(32, 256):
        ch = bytes([code]).decode("cp1252", errors="replace")
        glyph = cmap.get(ord(ch))
        widths.append(round(hmtx[glyph][0] * scale) if glyph else 0)
    data = open(path, "rb").read()
    pdf.add(num, f"<< /Type /Font /Subtype /TrueType /BaseFont /{name} /Encoding /WinAnsiEncoding "
                 f"/FirstChar 32 /LastChar 255 /Widths [{' '.join(map(str, widths))}] "
                 f"/FontDescriptor {num + 1} 0 R >>")
    pdf.add(num + 1, f"<< /Type /FontDescriptor /FontName /{name} /Flags 32 /FontBBox [-1000 -400 "
                     f"2000 1200] /ItalicAngle 0 /Ascent 930 /Descent -236 /CapHeight 730 /StemV 80 "
                     f"/FontFile2 {num + 2} 0 R >>")
    pdf.stream(num + 2, data, f"/Length1 {len(data)} ")


def cid_font(pdf, num, name):
    path = os.path.join(DEJAVU, name + ".ttf")
    font, cmap, hmtx, scale = font_metrics(path)
    order = font.getGlyphOrder()
    widths = " ".join(f"{gid} [{round(hmtx[g][0] * scale)}]" for gid, g in enumerate(order[:3000]))
    data = open(path, "rb").read()
    pdf.add(num, f"<< /Type /Font /Subtype /Type0 /BaseFont /{name} /Encoding /Identity-H "
                 f"/DescendantFonts [{num + 1} 0 R] >>")
    pdf.add(num + 1, f"<< /Type /Font /Subtype /CIDFontType2 /BaseFont /{name} /CIDSystemInfo << "
                     f"/Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor "
                     f"{num + 2} 0 R /W [{widths}] /CIDToGIDMap /Identity >>")
    pdf.add(num + 2, f"<< /Type /FontDescriptor /FontName /{name} /Flags 32 /FontBBox [-1000 -400 "
                     f"2000 1200] /ItalicAngle 0 /Ascent 930 /Descent -236 /CapHeight 730 /StemV 80 "
                     f"/FontFile2 {num + 3} 0 R >>")
    pdf.stream(num + 3, data, f"/Length1 {len(data)} ")
    return {ch: gid for ch, g in cmap.items() for gid in [font.getGlyphID(g)]}


def escape(text):
    return text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")


def text_document(path, pages, cid):
    rng = random.Random(7)
    pdf = Pdf()
    pdf.add(1, "<< /Type /Catalog /Pages 2 0 R >>")
    fonts = ""
    gids = {}
    for i, (key, name) in enumerate(FONTS):
        num = 100 + 10 * i
        if cid:
            gids[key] = cid_font(pdf, num, name)
        else:
            simple_font(pdf, num, name)
        fonts += f"/{key} {num} 0 R "
    kids = []
    for p in range(pages):
        ops = ["BT 10 TL"]
        y = 800
        for para in range(5):
            key = FONTS[para % len(FONTS)][0]
            ops.append(f"/{key} 9.5 Tf 1 0 0 1 50 {y} Tm")
            for line in lines_of_text(rng, 14):
                if cid:
                    codes = "".join("%04X" % gids[key].get(ord(c), 0) for c in line)
                    ops.append(f"<{codes}> Tj T*")
                else:
                    ops.append(f"({escape(line).encode('cp1252').decode('latin-1')}) Tj T*")
                y -= 10
            y -= 14
        ops.append("ET")
        content = "\n".join(ops).encode("latin-1")
        page, cnum = 1000 + 2 * p, 1001 + 2 * p
        pdf.stream(cnum, content)
        pdf.add(page, f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << "
                      f"{fonts}>> >> /Contents {cnum} 0 R >>")
        kids.append(f"{page} 0 R")
    pdf.add(2, f"<< /Type /Pages /Kids [{' '.join(kids)}] /Count {pages} >>")
    pdf.write(path, pages)


def font_per_page(path, pages):
    opts = subset.Options()
    opts.name_IDs = []
    font = subset.load_font(os.path.join(DEJAVU, "DejaVuSans.ttf"), opts)
    sub = subset.Subsetter(opts)
    sub.populate(text="".join(WORDS) + " ")
    sub.subset(font)
    buf = io.BytesIO()
    font.save(buf)
    data = buf.getvalue()
    cmap = font.getBestCmap()
    scale = 1000 / font["head"].unitsPerEm
    widths = " ".join(str(round(font["hmtx"][cmap[c]][0] * scale)) if c in cmap else "0"
                      for c in range(32, 127))
    pdf = Pdf()
    pdf.add(1, "<< /Type /Catalog /Pages 2 0 R >>")
    kids = []
    rng = random.Random(3)
    for p in range(pages):
        base = 10 + 6 * p
        pdf.add(base, f"<< /Type /Font /Subtype /TrueType /BaseFont /AAAA{p:04d}+DejaVuSans "
                      f"/FirstChar 32 /LastChar 126 /Widths [{widths}] /FontDescriptor {base + 1} 0 R >>")
        pdf.add(base + 1, f"<< /Type /FontDescriptor /FontName /AAAA{p:04d}+DejaVuSans /Flags 4 "
                          f"/FontBBox [-1000 -400 2000 1200] /ItalicAngle 0 /Ascent 930 /Descent -236 "
                          f"/CapHeight 730 /StemV 80 /FontFile2 {base + 2} 0 R >>")
        pdf.stream(base + 2, data, f"/Length1 {len(data)} ")
        text = " ".join(escape(l) for l in lines_of_text(rng, 2))
        pdf.stream(base + 3, f"BT /F 11 Tf 40 780 Td ({text}) Tj ET".encode("latin-1"))
        pdf.add(base + 4, f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font "
                          f"<< /F {base} 0 R >> >> /Contents {base + 3} 0 R >>")
        kids.append(f"{base + 4} 0 R")
    pdf.add(2, f"<< /Type /Pages /Kids [{' '.join(kids)}] /Count {pages} >>")
    pdf.write(path, pages)


def main():
    out = sys.argv[1]
    pages = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    font_pages = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    os.makedirs(out, exist_ok=True)
    text_document(os.path.join(out, "word-truetype.pdf"), pages, cid=False)
    text_document(os.path.join(out, "cid-truetype.pdf"), pages, cid=True)
    if font_pages:
        font_per_page(os.path.join(out, "font-per-page.pdf"), font_pages)


if __name__ == "__main__":
    main()
