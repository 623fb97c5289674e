#!/usr/bin/python3
"""Writes a PDF of text pages set in Helvetica, Times-Roman and Courier, none embedded:
    scripts/make-standard-font-pdf.py OUT.pdf [PAGES]
Each page holds 60 lines of 11-point text, the three fonts taking turns line by line."""
import sys

WORDS = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor "
         "incididunt ut labore et dolore magna aliqua Ut enim ad minim veniam quis nostrud "
         "exercitation ullamco laboris nisi aliquip ex ea commodo consequat").split()


def page_content(page):
    lines = ["BT", "11 TL", "1 0 0 1 40 800 Tm"]
    for i in range(60):
        words = [WORDS[(page * 7 + i * 3 + k) % len(WORDS)] for k in range(12)]
        lines.append("/F%d 11 Tf (%d.%d %s) '" % (i % 3 + 1, page + 1, i + 1, " ".join(words)))
    lines.append("ET")
    return "\n".join(lines) + "\n"


def main():
    out, pages = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 100
    objs = {1: "<< /Type /Catalog /Pages 2 0 R >>",
            3: "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
            4: "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding /WinAnsiEncoding >>",
            5: "<< /Type /Font /Subtype /Type1 /BaseFont /Courier /Encoding /WinAnsiEncoding >>"}
    kids = []
    for p in range(pages):
        page, content = 10 + 2 * p, 11 + 2 * p
        kids.append("%d 0 R" % page)
        objs[page] = ("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources "
                      "<< /Font << /F1 3 0 R /F2 4 0 R /F3 5 0 R >> >> /Contents %d 0 R >>" % content)
        data = page_content(p)
        objs[content] = "<< /Length %d >>\nstream\n%sendstream" % (len(data), data)
    objs[2] = "<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join(kids), pages)
    body, offsets = bytearray(b"%PDF-1.4\n"), {}
    for n in sorted(objs):
        offsets[n] = len(body)
        body += ("%d 0 obj\n%s\nendobj\n" % (n, objs[n])).encode("latin-1")
    xref, size = len(body), max(objs) + 1
    body += ("xref\n0 %d\n0000000000 65535 f \n" % size).encode()
    for n in range(1, size):
        body += (("%010d 00000 n \n" % offsets[n]) if n in offsets else "0000000000 65535 f \n").encode()
    body += ("trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (size, xref)).encode()
    with open(out, "wb") as f:
        f.write(body)


if __name__ == "__main__":
    main()
