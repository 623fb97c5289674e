#!/usr/bin/env python3
"""Writes a JBIG2 scan-like one-page PDF into a folder, for benchmarks:

    scripts/make-jbig2-pdfs.py OUTDIR

jbig2-text-300dpi.pdf  an A4 page at 300 dpi of about 4000 glyph instances: a symbol
                       dictionary in JBIG2Globals and a text region, Huffman coded (standard
                       tables in the dictionary, table segments in the text region), as symbol
                       coders of scanned text write them
"""
import os
import random
import sys

from pdf_file import write_pdf


class Bits:
    def __init__(self):
        self.out, self.acc, self.n = bytearray(), 0, 0

    def put(self, value, count):
        for i in range(count - 1, -1, -1):
            self.acc = self.acc << 1 | (value >> i) & 1
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                self.acc, self.n = 0, 0

    def code(self, text):
        for c in text:
            self.put(c == "1", 1)

    def align(self):
        if self.n:
            self.put(0, 8 - self.n)

    def data(self):
        self.align()
        return bytes(self.out)


def be32(v):
    return (v & 0xFFFFFFFF).to_bytes(4, "big")


def segment(number, kind, page, data, referred=()):
    return (be32(number) + bytes([kind, len(referred) << 5]) + bytes(referred) + bytes([page]) +
            be32(len(data)) + data)


def table_b4(b, v):  # heights: 1, 2, 3, 4-11, 12-75
    for limit, prefix, bits, low in ((1, "0", 0, 1), (2, "10", 0, 2), (3, "110", 0, 3),
                                     (11, "1110", 3, 4), (75, "11110", 6, 12)):
        if v <= limit:
            b.code(prefix)
            b.put(v - low, bits)
            return
    raise ValueError(v)


def table_b2(b, v):  # widths: 0, 1, 2, 3-10, 11-74; out-of-band 111111
    if v is None:
        b.code("111111")
        return
    for limit, prefix, bits, low in ((0, "0", 0, 0), (1, "10", 0, 1), (2, "110", 0, 2),
                                     (10, "1110", 3, 3), (74, "11110", 6, 11)):
        if v <= limit:
            b.code(prefix)
            b.put(v - low, bits)
            return
    raise ValueError(v)


def table_b1(b, v):  # 0-15, 16-271
    if v < 16:
        b.code("0")
        b.put(v, 4)
    else:
        b.code("10")
        b.put(v - 16, 8)


def glyph(rng, w, h):
    """A blob of strokes, 1 = black."""
    px = [[0] * w for _ in range(h)]
    for _ in range(3):
        x, y = rng.randrange(w), rng.randrange(h)
        dx, dy = rng.choice((-1, 0, 1)), rng.choice((-1, 1))
        for _ in range(max(w, h) * 2):
            for yy in range(y - 1, y + 2):
                for xx in range(x - 1, x + 2):
                    if 0 <= xx < w and 0 <= yy < h:
                        px[yy][xx] = 1
            x, y = min(max(x + dx, 0), w - 1), min(max(y + dy, 0), h - 1)
            if rng.random() < 0.2:
                dx, dy = rng.choice((-1, 0, 1)), rng.choice((-1, 0, 1))
    return px


def dictionary(symbols):
    """Symbol dictionary segment 1 (globals): height classes, widths, stored bitmaps."""
    b = Bits()
    order = sorted(range(len(symbols)), key=lambda i: (len(symbols[i]), len(symbols[i][0])))
    height, pos = 0, 0
    while pos < len(order):
        h = len(symbols[order[pos]])
        table_b4(b, h - height)
        height = h
        members = [i for i in order[pos:] if len(symbols[i]) == h]
        width = 0
        for i in members:
            table_b2(b, len(symbols[i][0]) - width)
            width = len(symbols[i][0])
        table_b2(b, None)
        table_b1(b, 0)  # the collective bitmap stored as it is
        b.align()
        for y in range(h):
            for i in members:
                for v in symbols[i][y]:
                    b.put(v, 1)
            b.align()
        pos += len(members)
    table_b1(b, 0)  # export all: no symbol, then every symbol
    n = len(symbols)
    while n:
        run = min(n, 271)
        table_b1(b, run)
        n -= run
        if n:
            table_b1(b, 0)
    return segment(1, 0, 0, b"\x00\x01" + be32(len(symbols)) + be32(len(symbols)) + b.data()), order


def text_page(width, height, symbols, order, rng):
    """Page 1: information, three table segments (values -1024..7167 as 0 + 13 bits,
    out-of-band 10) and one text region of lines of glyphs."""
    table = b"\x33" + be32(-1024) + be32(4096)
    t = Bits()
    t.put(1, 2), t.put(13, 4), t.put(3, 2), t.put(3, 2), t.put(2, 2)  # line, lower, upper, OOB
    table += t.data()
    b = Bits()
    code_len = max(1, (len(symbols) - 1).bit_length())
    for i in range(35):
        b.put(1 if i == code_len else 0, 4)
    for _ in symbols:
        b.code("0")
    b.align()
    ids = {sym: k for k, sym in enumerate(order)}  # dictionary export order

    def value(v):
        if v is None:
            b.code("10")
        else:
            b.code("0")
            b.put(v + 1024, 13)

    instances = 0
    value(0)  # strip origin
    strip_t, first_s = 0, 0
    for line in range(60):
        baseline = 200 + line * 55
        value(baseline - strip_t)
        strip_t = baseline
        x = 240 + rng.randrange(20)
        value(x - first_s)
        first_s = x
        cur = x
        for n in range(rng.randrange(50, 80)):
            sym = rng.randrange(len(symbols))
            if n:
                gap = rng.randrange(2, 8) + (25 if rng.random() < 0.15 else 0)
                value(gap)
                cur += gap
            b.put(ids[sym], code_len)
            cur += len(symbols[sym][0]) - 1
            instances += 1
            if cur > width - 300:
                break
        value(None)
    region = (be32(width) + be32(height) + be32(0) + be32(0) + b"\x00" +
              b"\x00\x01" + b"\x00\x3f" + be32(instances))  # Huffman, bottom-left, custom FS/DS/DT
    page = be32(width) + be32(height) + be32(300 * 10000 // 254) * 2 + b"\x00" + b"\x00\x00"
    return (segment(0, 48, 1, page) + segment(2, 53, 1, table) + segment(3, 53, 1, table) +
            segment(4, 53, 1, table) + segment(5, 6, 1, region + b.data(), (1, 2, 3, 4)))


def pdf(path, width, height, data, globals_data):
    content = b"q 595 0 0 842 0 0 cm /Im Do Q"
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
            b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
            b"/Resources << /XObject << /Im 5 0 R >> >> /Contents 4 0 R >>",
            b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream",
            b"<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceGray "
            b"/BitsPerComponent 1 /Filter /JBIG2Decode /DecodeParms << /JBIG2Globals 6 0 R >> "
            b"/Length %d >>\nstream\n" % (width, height, len(data)) + data + b"\nendstream",
            b"<< /Length %d >>\nstream\n" % len(globals_data) + globals_data + b"\nendstream"]
    write_pdf(path, objs)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    rng = random.Random(5)
    symbols = [glyph(rng, rng.randrange(12, 30), rng.randrange(22, 36)) for _ in range(90)]
    globals_data, order = dictionary(symbols)
    width, height = 2480, 3508
    pdf(os.path.join(out, "jbig2-text-300dpi.pdf"), width, height,
        text_page(width, height, symbols, order, rng), globals_data)


if __name__ == "__main__":
    main()
