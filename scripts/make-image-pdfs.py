#!/usr/bin/env python3
"""Writes scan-like and photo-like one-page PDFs into a folder, for benchmarks:

    scripts/make-image-pdfs.py OUTDIR

scan-600dpi-gray.pdf   A4 page holding one 600-dpi 8-bit gray scan (Flate)
scan-300dpi-bilevel.pdf A4 page holding one 300-dpi 1-bit scan (Flate)
scan-600dpi-rgb.pdf    the 600-dpi scan in 8-bit colour (Flate)
scan-600dpi-bilevel.pdf the 600-dpi scan in 1 bit (Flate)
scan-600dpi-g4.pdf     the 600-dpi scan in 1 bit (CCITT group 4), when PIL can write it
scan-600dpi-jpeg.pdf   the 600-dpi gray scan as a JPEG, when PIL is there
photo-rgb-dct.pdf      a 3000 x 2000 colour photo (DCT), plus a logo drawn three times
photo-cmyk-dct.pdf     a 2400 x 1600 CMYK photo (DCT)
photo-jpx.pdf          a 2000 x 1500 colour photo (JPEG 2000), when PIL can write it
The photos need PIL (python3-pil); without it only the scans are written.
"""
import io
import math
import os
import random
import sys
import zlib

from pdf_file import write_pdf


def pdf(path, image_dict, image_data, content, extra_objects=()):
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
            b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
            b"/Resources << /XObject << /Im 5 0 R /Logo 6 0 R >> >> /Contents 4 0 R >>",
            b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream",
            b"<< /Type /XObject /Subtype /Image " + image_dict + b" /Length %d >>\nstream\n"
            % len(image_data) + image_data + b"\nendstream"]
    logo = zlib.compress(bytes((x * 7 + y * 3) & 0xFF for y in range(64) for x in range(64 * 3)))
    objs.append(b"<< /Type /XObject /Subtype /Image /Width 64 /Height 64 /BitsPerComponent 8 "
                b"/ColorSpace /DeviceRGB /Filter /FlateDecode /Length %d >>\nstream\n"
                % len(logo) + logo + b"\nendstream")
    write_pdf(path, objs)


FULL_PAGE = b"q 595 0 0 842 0 0 cm /Im Do Q"
PHOTO = (b"q 500 0 0 333 47 450 cm /Im Do Q q 60 0 0 60 50 50 cm /Logo Do Q "
         b"q 60 0 0 60 150 50 cm /Logo Do Q q 60 0 0 60 250 50 cm /Logo Do Q")


def scan_rows(width, height, bits):
    """Text-like dark strokes on paper with a little noise."""
    rnd = random.Random(7)
    rows = []
    for y in range(height):
        line_y = (y // 40) % 3 != 2 and (y % 40) < 26
        if bits == 8:
            row = bytearray(240 + rnd.randrange(12) for _ in range(0, width, 64) for _ in range(64))[:width]
            if line_y:
                for x0 in range(200, width - 200, 90):
                    w = 20 + (x0 * 7 + y // 40) % 50
                    row[x0:x0 + w] = bytes(30 for _ in range(w))
        else:
            row = bytearray((width + 7) // 8)
            if line_y:
                for x0 in range(200, width - 200, 90):
                    w = 20 + (x0 * 7 + y // 40) % 50
                    for x in range(x0, min(width, x0 + w), 8):
                        row[x // 8] = 0xFF
            row = bytes(b ^ 0xFF for b in row)
        rows.append(bytes(row))
    return b"".join(rows)


def encoded(img, fmt, **kw):
    buf = io.BytesIO()
    img.save(buf, fmt, **kw)
    return buf.getvalue()


def group4(img):
    """The CCITT group 4 data of a 1-bit image, from a one-strip TIFF PIL writes; None when
    PIL lacks libtiff."""
    from PIL import Image, TiffImagePlugin
    TiffImagePlugin.STRIP_SIZE = 1 << 30  # one strip for the whole page
    try:
        data = encoded(img, "TIFF", compression="group4")
        tags = Image.open(io.BytesIO(data)).tag_v2
        offsets, counts = tags[273], tags[279]  # StripOffsets, StripByteCounts
    except (OSError, KeyError, ValueError):
        return None
    if len(offsets) != 1:
        return None
    return data[offsets[0]:offsets[0] + counts[0]]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    w, h = 4960, 7016
    pdf(os.path.join(out, "scan-600dpi-gray.pdf"),
        b"/Width %d /Height %d /BitsPerComponent 8 /ColorSpace /DeviceGray /Filter /FlateDecode"
        % (w, h), zlib.compress(scan_rows(w, h, 8), 6), FULL_PAGE)
    gray = scan_rows(w, h, 8)
    # Colour: the gray scan tinted, ink blue on cream paper.
    rgb = bytearray(3 * len(gray))
    for i, (ink, paper) in enumerate(((30, 250), (40, 245), (120, 235))):
        rgb[i::3] = gray.translate(bytes(ink + (paper - ink) * v // 240 if v <= 240
                                         else min(255, paper + v - 246) for v in range(256)))
    pdf(os.path.join(out, "scan-600dpi-rgb.pdf"),
        b"/Width %d /Height %d /BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter /FlateDecode"
        % (w, h), zlib.compress(bytes(rgb), 6), FULL_PAGE)
    del rgb
    bilevel = scan_rows(w, h, 1)
    pdf(os.path.join(out, "scan-600dpi-bilevel.pdf"),
        b"/Width %d /Height %d /BitsPerComponent 1 /ColorSpace /DeviceGray /Filter /FlateDecode"
        % (w, h), zlib.compress(bilevel, 6), FULL_PAGE)
    w6, h6 = w, h
    w, h = 2480, 3508
    pdf(os.path.join(out, "scan-300dpi-bilevel.pdf"),
        b"/Width %d /Height %d /BitsPerComponent 1 /ColorSpace /DeviceGray /Filter /FlateDecode"
        % (w, h), zlib.compress(scan_rows(w, h, 1), 6), FULL_PAGE)
    try:
        from PIL import Image
    except ImportError:
        return
    page = Image.frombytes("L", (w6, h6), gray)
    pdf(os.path.join(out, "scan-600dpi-jpeg.pdf"),
        b"/Width %d /Height %d /BitsPerComponent 8 /ColorSpace /DeviceGray /Filter /DCTDecode"
        % (w6, h6), encoded(page, "JPEG", quality=75), FULL_PAGE)
    # PIL's 1-bit TIFF calls 1 white and codes it as the fax's black: BlackIs1 gives it back.
    g4 = group4(Image.frombytes("1", (w6, h6), bilevel))
    if g4:
        pdf(os.path.join(out, "scan-600dpi-g4.pdf"),
            b"/Width %d /Height %d /BitsPerComponent 1 /ColorSpace /DeviceGray /Filter /CCITTFaxDecode "
            b"/DecodeParms << /K -1 /Columns %d /Rows %d /BlackIs1 true >>" % (w6, h6, w6, h6), g4, FULL_PAGE)

    def photo(width, height, mode):
        img = Image.linear_gradient("L").resize((width, height))
        r = img
        g = img.rotate(90).resize((width, height))
        b = Image.radial_gradient("L").resize((width, height))
        rgb = Image.merge("RGB", (r, g, b)).effect_spread(3)
        return rgb.convert(mode)

    pdf(os.path.join(out, "photo-rgb-dct.pdf"),
        b"/Width 3000 /Height 2000 /BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter /DCTDecode",
        encoded(photo(3000, 2000, "RGB"), "JPEG", quality=85), PHOTO)
    pdf(os.path.join(out, "photo-cmyk-dct.pdf"),
        b"/Width 2400 /Height 1600 /BitsPerComponent 8 /ColorSpace /DeviceCMYK /Decode [1 0 1 0 1 0 1 0] "
        b"/Filter /DCTDecode", encoded(photo(2400, 1600, "CMYK"), "JPEG", quality=85), PHOTO)
    try:
        data = encoded(photo(2000, 1500, "RGB"), "JPEG2000", quality_mode="rates",
                       quality_layers=[20])
    except (OSError, KeyError, ValueError):
        return
    pdf(os.path.join(out, "photo-jpx.pdf"),
        b"/Width 2000 /Height 1500 /BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter /JPXDecode",
        data, PHOTO)


if __name__ == "__main__":
    main()
