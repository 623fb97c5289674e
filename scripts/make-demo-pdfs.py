#!/usr/bin/env python3
"""Writes demo PDFs for screenshots: make-demo-pdfs.py OUTDIR [PAGES]

Two files of vector drawings made here by hand ("annual-report.pdf" and "report.final.pdf"),
each page busy enough that converting a file takes a moment.
"""
import math
import os
import sys
import zlib

import pdf_file


def page_content(seed, shapes):
    ops = ["1 1 1 rg 0 0 595 842 re f"]
    for i in range(shapes):
        t = (i * 0.61803 + seed * 0.137) % 1.0
        x = 40 + (i * 37 + seed * 11) % 515
        y = 40 + (i * 53 + seed * 29) % 760
        r = 8 + (i * 7) % 30
        red = 0.5 + 0.5 * math.cos(2 * math.pi * t)
        green = 0.5 + 0.5 * math.cos(2 * math.pi * (t - 1 / 3))
        blue = 0.5 + 0.5 * math.cos(2 * math.pi * (t - 2 / 3))
        k = 0.5523 * r
        ops.append(
            f"{red:.3f} {green:.3f} {blue:.3f} rg 0.2 0.2 0.2 RG 0.8 w "
            f"{x + r} {y} m {x + r} {y + k:.2f} {x + k:.2f} {y + r} {x} {y + r} c "
            f"{x - k:.2f} {y + r} {x - r} {y + k:.2f} {x - r} {y} c "
            f"{x - r} {y - k:.2f} {x - k:.2f} {y - r} {x} {y - r} c "
            f"{x + k:.2f} {y - r} {x + r} {y - k:.2f} {x + r} {y} c B")
    return "\n".join(ops).encode()


def write_pdf(path, pages, seed):
    objs = {1: b"<< /Type /Catalog /Pages 2 0 R >>"}
    kids = []
    for p in range(pages):
        page_num, content_num = 3 + 2 * p, 4 + 2 * p
        kids.append(f"{page_num} 0 R")
        data = zlib.compress(page_content(seed + p, 900))
        objs[page_num] = (f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
                          f"/Contents {content_num} 0 R >>").encode()
        objs[content_num] = (b"<< /Filter /FlateDecode /Length %d >>\nstream\n" % len(data)
                             + data + b"\nendstream")
    objs[2] = f"<< /Type /Pages /Kids [{' '.join(kids)}] /Count {pages} >>".encode()
    pdf_file.write_pdf(path, objs, b"1.4")


def main():
    outdir = sys.argv[1]
    pages = int(sys.argv[2]) if len(sys.argv) > 2 else 40
    os.makedirs(outdir, exist_ok=True)
    write_pdf(os.path.join(outdir, "annual-report.pdf"), pages, 1)
    write_pdf(os.path.join(outdir, "report.final.pdf"), max(1, pages // 2), 7)


if __name__ == "__main__":
    main()
