#!/usr/bin/env python3
"""Writes A4 pages of a 300-dpi fax scan into a folder, for benchmarks:

    scripts/make-fax-pdfs.py OUTDIR

fax-300dpi-g4.pdf     the page in T.6 (Group 4) coding
fax-300dpi-g3-2d.pdf  the same page in T.4 two-dimensional coding, EOLs byte-aligned
fax-300dpi-g3-1d.pdf  the same page in T.4 one-dimensional coding with EOLs
The coding is libtiff's (ppm2tiff and tiffcp from libtiff-tools).
"""
import os
import random
import struct
import subprocess
import sys
import tempfile

from pdf_file import write_pdf

WIDTH, HEIGHT = 2480, 3508


def page_rows():
    """Lines of word-like ink in margins, as a typed letter scanned at 300 dpi."""
    rnd = random.Random(11)
    stride = (WIDTH + 7) // 8
    glyphs = [bytes(rnd.choice((0, 0x18, 0x3C, 0x66, 0x7E, 0xC3, 0xFF)) for _ in range(30))
              for _ in range(40)]
    rows = []
    for y in range(HEIGHT):
        row = bytearray(stride)
        line, dy = divmod(y - 300, 50)
        if 300 <= y < HEIGHT - 300 and dy < 30 and line % 17 != 16:
            rnd_line = random.Random(line)
            x = 300 // 8
            while x < (WIDTH - 300) // 8:
                word = rnd_line.randrange(2, 9)
                for i in range(word):
                    if x + i < (WIDTH - 300) // 8:
                        row[x + i] = glyphs[(line * 7 + x + i) % 40][dy // 4]
                x += word + 1
        rows.append(bytes(row))
    return b"".join(rows)


def tiff_strip(path):
    """The data of a one-strip TIFF file and its width."""
    data = open(path, "rb").read()
    end = "<" if data[:2] == b"II" else ">"
    (ifd,) = struct.unpack_from(end + "I", data, 4)
    (count,) = struct.unpack_from(end + "H", data, ifd)
    tags = {}
    for i in range(count):
        tag, kind, n, value = struct.unpack_from(end + "HHII", data, ifd + 2 + 12 * i)
        if kind == 3 and n == 1:
            value = struct.unpack_from(end + "H", data, ifd + 2 + 12 * i + 8)[0]
        tags[tag] = value
    return data[tags[273]:tags[273] + tags[279]]


def pdf(path, parms, data):
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
            b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
            b"/Resources << /XObject << /Im 5 0 R >> >> /Contents 4 0 R >>"]
    content = b"q 595 0 0 842 0 0 cm /Im Do Q"
    objs.append(b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream")
    objs.append(b"<< /Type /XObject /Subtype /Image /Width %d /Height %d /BitsPerComponent 1 "
                b"/ColorSpace /DeviceGray /Filter /CCITTFaxDecode /DecodeParms << /Columns %d "
                b"/Rows %d %s >> /Length %d >>\nstream\n" % (WIDTH, HEIGHT, WIDTH, HEIGHT, parms,
                                                            len(data)) + data + b"\nendstream")
    write_pdf(path, objs)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as scratch:
        pbm = os.path.join(scratch, "page.pbm")
        with open(pbm, "wb") as f:
            f.write(b"P4\n%d %d\n" % (WIDTH, HEIGHT) + page_rows())
        plain = os.path.join(scratch, "page.tif")
        subprocess.run(["ppm2tiff", pbm, plain], check=True)
        for name, coding, parms in (("g4", "g4", b"/K -1"),
                                    ("g3-2d", "g3:2d:fill", b"/K 4 /EndOfLine true /EncodedByteAlign true"),
                                    ("g3-1d", "g3:1d", b"/K 0 /EndOfLine true")):
            coded = os.path.join(scratch, name + ".tif")
            subprocess.run(["tiffcp", "-c", coding, "-r", str(HEIGHT), plain, coded], check=True)
            pdf(os.path.join(out, "fax-300dpi-%s.pdf" % name), parms, tiff_strip(coded))


if __name__ == "__main__":
    main()
