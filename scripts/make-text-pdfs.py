#!/usr/bin/env python3
"""Writes text-heavy PDFs set the way TeX and Ghostscript set them: make-text-pdfs.py OUTDIR [PAGES]

  tex-type1.pdf    justified 10 pt paragraphs in embedded Type 1 fonts (FontFile), shown
                   with TJ kerning arrays as pdfTeX writes them, from the URW base 35 fonts;
  gs-type1c.pdf    the same text typeset in PostScript and turned into PDF by Ghostscript,
                   which embeds the fonts as CFF (FontFile3 /Type1C).
Needs the fonts-urw-base35 package; the second file also ghostscript (ps2pdf).
"""
import os
import random
import shutil
import subprocess
import sys
import zlib

import pdf_file

URW = "/usr/share/fonts/type1/urw-base35"
FONTS = [("F1", "NimbusRoman-Regular"), ("F2", "NimbusRoman-Italic"), ("F3", "NimbusRoman-Bold"),
         ("F4", "NimbusMonoPS-Regular")]
WORDS = ("the of and a to in is that for it as was with be by on not he this are or his from at "
         "which but have an they you were her she there been one all we their has would when if "
         "theorem lemma proof function space measure integral bounded compact sequence converges "
         "uniformly continuous derivative manifold operator eigenvalue polynomial algebra "
         "topology Hilbert Banach Riemann Lebesgue Fourier transform kernel").split()


def afm_widths(name):
    widths = {}
    with open(os.path.join(URW, name + ".afm")) as f:
        for line in f:
            if line.startswith("C "):
                parts = dict(p.strip().split(" ", 1) for p in line.split(";") if p.strip())
                code = int(parts["C"])
                if 0 <= code < 256:
                    widths[code] = int(float(parts["WX"]))
    return widths


def split_type1(data):
    """Clear text, binary part and trailer of a .t1 file, as FontFile wants them."""
    start = data.index(b"eexec") + 5
    while data[start:start + 1] in (b"\r", b"\n"):
        start += 1
    end = data.rindex(b"cleartomark")
    end = data.rindex(b"\n" if b"\n" in data[start:end][-600:] else b"\r", start, end - 520) + 1
    return data[:start], data[start:end], data[end:]


def paragraph_lines(rng, widths, size, measure):
    """Greedy line breaking of random words; each line is (words, stretch per space)."""
    space = widths[32] * size / 1000
    lines, line, used = [], [], 0.0
    for _ in range(rng.randint(60, 140)):
        w = rng.choice(WORDS)
        width = sum(widths.get(ord(c), 500) for c in w) * size / 1000
        if line and used + space + width > measure:
            lines.append((line, (measure - used) / max(1, len(line) - 1)))
            line, used = [], 0.0
        used += (space if line else 0) + width
        line.append(w)
    lines.append((line, 0.0))
    return lines


def page_text(rng, widths):
    """Content stream and the PostScript of one page: 10 pt text on 12 pt leading."""
    pdf, ps = ["BT"], []
    y, size, measure = 770.0, 10.0, 470.0
    while y > 60:
        font = rng.choice(["F1", "F1", "F1", "F2", "F3", "F4"])
        for words, stretch in paragraph_lines(rng, widths[font], size, measure):
            if y < 60:
                break
            space = widths[font][32]
            items = []
            for i, w in enumerate(words):
                text = w.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
                # TeX writes the inter-word glue as a kern in the TJ array.
                items.append(f"({text})")
                if i + 1 < len(words):
                    items.append(f"{-(space + stretch * 1000 / size):.0f}")
            pdf.append(f"/{font} {size:g} Tf 1 0 0 1 62 {y:.1f} Tm [{' '.join(items)}] TJ")
            ps.append(f"/{font} findfont {size:g} scalefont setfont 62 {y:.1f} moveto "
                      f"{stretch + space * size / 1000:.3f} 0 32 ({' '.join(words)}) widthshow")
            y -= 12
        y -= 6
    pdf.append("ET")
    return "\n".join(pdf).encode(), "\n".join(ps)


def write_pdf(path, objs):
    pdf_file.write_pdf(path, objs, b"1.4")


def stream(dict_entries, data):
    return b"<< %s /Length %d >>\nstream\n" % (dict_entries.encode(), len(data)) + data + b"\nendstream"


def main():
    outdir = sys.argv[1]
    pages = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    os.makedirs(outdir, exist_ok=True)
    widths = {tag: afm_widths(name) for tag, name in FONTS}
    rng = random.Random(7)
    contents = [page_text(rng, widths) for _ in range(pages)]

    objs = {1: b"<< /Type /Catalog /Pages 2 0 R >>"}
    font_refs = []
    n = 3
    for tag, name in FONTS:
        clear, binary, trailer = split_type1(open(os.path.join(URW, name + ".t1"), "rb").read())
        program = clear + binary + trailer
        first, last = 32, 126
        w = " ".join(str(widths[tag].get(c, 0)) for c in range(first, last + 1))
        objs[n] = stream(f"/Filter /FlateDecode /Length1 {len(clear)} /Length2 {len(binary)} "
                         f"/Length3 {len(trailer)}", zlib.compress(program))
        objs[n + 1] = (f"<< /Type /FontDescriptor /FontName /{name} /Flags 34 /FontBBox [-200 -300 "
                       f"1200 1000] /ItalicAngle 0 /Ascent 700 /Descent -200 /CapHeight 660 "
                       f"/StemV 80 /FontFile {n} 0 R >>").encode()
        objs[n + 2] = (f"<< /Type /Font /Subtype /Type1 /BaseFont /{name} /FirstChar {first} "
                       f"/LastChar {last} /Widths [{w}] /FontDescriptor {n + 1} 0 R "
                       f"/Encoding /WinAnsiEncoding >>").encode()
        font_refs.append(f"/{tag} {n + 2} 0 R")
        n += 3
    kids = []
    for content, _ in contents:
        objs[n] = (f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << "
                   f"{' '.join(font_refs)} >> >> /Contents {n + 1} 0 R >>").encode()
        objs[n + 1] = stream("/Filter /FlateDecode", zlib.compress(content))
        kids.append(f"{n} 0 R")
        n += 2
    objs[2] = f"<< /Type /Pages /Kids [{' '.join(kids)}] /Count {len(kids)} >>".encode()
    write_pdf(os.path.join(outdir, "tex-type1.pdf"), objs)

    if shutil.which("ps2pdf"):
        ps = ["%!PS-Adobe-3.0"]
        for tag, name in FONTS:
            ps.append(f"/{tag} /{name} findfont dup length dict begin {{1 index /FID ne {{def}} "
                      f"{{pop pop}} ifelse}} forall /Encoding ISOLatin1Encoding def currentdict "
                      f"end definefont pop")
        for _, text in contents:
            ps.append("<< /PageSize [595 842] >> setpagedevice\n" + text + "\nshowpage")
        ps_path = os.path.join(outdir, "gs-type1c.ps")
        with open(ps_path, "w") as f:
            f.write("\n".join(ps) + "\n")
        subprocess.run(["ps2pdf", ps_path, os.path.join(outdir, "gs-type1c.pdf")], check=True)
        os.remove(ps_path)


if __name__ == "__main__":
    main()
