#!/usr/bin/env python3
"""Writes resources/sample.pdf: two pages made for Plover's own demo: vector drawing on the
first; text in two standard fonts, a picture and triangles on the second."""
import math, os, zlib

def page1():
    ops = ["1 1 1 rg 0 0 595 842 re f"]
    # Colour wheel of filled wedges.
    cx, cy, r = 200, 600, 140
    for i in range(12):
        a0, a1 = 2 * math.pi * i / 12, 2 * math.pi * (i + 1) / 12
        h = i / 12.0
        rr = 0.5 + 0.5 * math.cos(2 * math.pi * h)
        gg = 0.5 + 0.5 * math.cos(2 * math.pi * (h - 1 / 3))
        bb = 0.5 + 0.5 * math.cos(2 * math.pi * (h - 2 / 3))
        ops.append(f"{rr:.3f} {gg:.3f} {bb:.3f} rg {cx} {cy} m "
                   f"{cx + r * math.cos(a0):.2f} {cy + r * math.sin(a0):.2f} l "
                   f"{cx + r * math.cos(a1):.2f} {cy + r * math.sin(a1):.2f} l h f")
    # A star filled with the even-odd rule, stroked with round joins.
    pts = [(430 + 110 * math.cos(math.pi / 2 + 4 * math.pi * k / 5),
            600 + 110 * math.sin(math.pi / 2 + 4 * math.pi * k / 5)) for k in range(5)]
    ops.append("0.95 0.75 0.1 rg 0.6 0.2 0.1 RG 6 w 1 j")
    ops.append(f"{pts[0][0]:.2f} {pts[0][1]:.2f} m " +
               " ".join(f"{x:.2f} {y:.2f} l" for x, y in pts[1:]) + " h B*")
    # Bezier waves with dashes and caps.
    for k, (cap, col) in enumerate([(0, "0.1 0.3 0.8"), (1, "0.8 0.1 0.3"), (2, "0.1 0.6 0.3")]):
        y = 380 - 50 * k
        ops.append(f"{col} RG 10 w {cap} J [{20 + 10 * k} 15] 0 d "
                   f"60 {y} m 180 {y + 60} 300 {y - 60} 420 {y} c 480 {y + 30} 520 {y} 540 {y} c S")
    ops.append("[] 0 d")
    # Clipped stripes inside a circle, in CMYK.
    ops.append("q 300 140 m 300 195.2 255.2 240 200 240 c 144.8 240 100 195.2 100 140 c "
               "100 84.8 144.8 40 200 40 c 255.2 40 300 84.8 300 140 c W n")
    for i in range(10):
        c = i / 9.0
        ops.append(f"{c:.2f} {1 - c:.2f} 0.2 0 k {100 + 20 * i} 40 20 200 re f")
    ops.append("Q")
    # Nested squares with transformations.
    ops.append("q 1 0 0 1 440 140 cm")
    for i in range(8):
        g = i / 8.0
        ops.append(f"q {math.cos(i * 0.2):.4f} {math.sin(i * 0.2):.4f} {-math.sin(i * 0.2):.4f} "
                   f"{math.cos(i * 0.2):.4f} 0 0 cm {g:.3f} g 0.2 0.4 {g:.3f} RG 2 w "
                   f"{-80 + 10 * i} {-80 + 10 * i} {160 - 20 * i} {160 - 20 * i} re B Q")
    ops.append("Q")
    return "\n".join(ops)

def page2():
    ops = ["0.97 0.97 1 rg 0 0 595 842 re f"]
    for row in range(8):
        for col in range(6):
            x, y = 60 + col * 80, 100 + row * 80
            g = (row * 6 + col) / 47.0
            ops.append(f"{g:.3f} {1 - g:.3f} {0.5:.1f} rg {0.2:.1f} {0.2:.1f} {0.4:.1f} RG 3 w "
                       f"{x} {y} m {x + 60} {y} l {x + 30} {y + 60} l h B")
    # Text in two of the standard fonts, which the file does not embed.
    ops.append("BT 0.15 0.15 0.35 rg /F1 26 Tf 60 770 Td (Plover PDF to Image) Tj "
               "/F2 13 Tf 0 -26 Td (Text, pictures and vector drawing, each page to one image file.) Tj ET")
    # A picture: a colour ramp drawn twice its pixel size.
    ops.append("q 480 0 0 60 60 25 cm /Im1 Do Q")
    return "\n".join(ops)

def ramp():
    w, h = 256, 32
    rows = bytearray()
    for y in range(h):
        for x in range(w):
            rows += bytes((x, 255 - x, (y * 8) % 256))
    return w, h, zlib.compress(bytes(rows))

objs = {}
objs[1] = b"<< /Type /Catalog /Pages 2 0 R >>"
objs[2] = b"<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>"
for num, content in ((3, page1()), (5, page2())):
    data = zlib.compress(content.encode())
    objs[num] = f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents {num + 1} 0 R >>".encode()
    objs[num + 1] = b"<< /Filter /FlateDecode /Length %d >>\nstream\n" % len(data) + data + b"\nendstream"
objs[5] = objs[5].replace(b" /Contents", b" /Resources << /Font << /F1 8 0 R /F2 9 0 R >> "
                          b"/XObject << /Im1 10 0 R >> >> /Contents")
objs[8] = b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>"
objs[9] = b"<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding /WinAnsiEncoding >>"
w, h, pixels = ramp()
objs[10] = (b"<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB "
            b"/BitsPerComponent 8 /Filter /FlateDecode /Length %d >>\nstream\n" % (w, h, len(pixels))
            + pixels + b"\nendstream")
objs[7] = b"<< /Title (Plover sample) /Producer (Plover make-sample.py) >>"

out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
offsets = {}
for n in sorted(objs):
    offsets[n] = len(out)
    out += b"%d 0 obj\n" % n + objs[n] + b"\nendobj\n"
xref = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
for n in sorted(objs):
    out += b"%010d 00000 n \n" % offsets[n]
out += b"trailer\n<< /Size %d /Root 1 0 R /Info 7 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "sample.pdf")
open(path, "wb").write(out)
print(path)
