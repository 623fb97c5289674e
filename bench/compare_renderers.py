#!/usr/bin/env python3
"""Renders vector-heavy pages to PNG with plover-cli, pdftoppm and mutool draw in one run and
prints pages per second and peak memory for each, with plover's ratio to each peer.

    bench/compare_renderers.py [--cli PATH] [--dpi 96,300] [--pages N] [--repeat R] [--set S] [--pdf F]...

Vector pages (--set vector, the default): the bundled sample, generated pages of many filled
and stroked curves (scripts/make-demo-pdfs.py), and, when ../shared/corpus is present, the
first pages of its files that hold neither fonts nor images.
Text pages (--set text): generated TeX-like pages in embedded Type 1 fonts and the same pages
through Ghostscript in CFF fonts (scripts/make-text-pdfs.py), and corpus files whose fonts are
all embedded Type 1 or CFF and that hold no images.
Image pages (--set images): generated scans and photos (scripts/make-image-pdfs.py: a 600-dpi
A4 gray scan, a 300-dpi bilevel scan, RGB and CMYK JPEG and JPEG 2000 photos) and the corpus
files whose images are DCT, Flate or JPX ones (no fax or JBIG2 images).
Fax pages (--set fax): a generated 300-dpi A4 scan in T.6, T.4 two- and one-dimensional coding
(scripts/make-fax-pdfs.py, libtiff-tools) and the corpus files with CCITT fax images.
JBIG2 pages (--set jbig2): a generated 300-dpi A4 page of Huffman-coded symbols
(scripts/make-jbig2-pdfs.py) and the corpus files that hold JBIG2 images.
TrueType pages (--set truetype): generated pages in embedded TrueType fonts, simple and
Identity-H (scripts/make-truetype-pdfs.py), and corpus files whose fonts are all embedded
TrueType or Type 3 and that hold no images.
Each tool runs once per file, writing PNG files into a scratch folder; time is wall-clock time
of the whole run and memory is the largest peak resident size of any one run (ru_maxrss).
--pdf measures the given files instead (all their pages up to --pages), for example the pages
in fonts that are not embedded of scripts/make-standard-font-pdf.py.
"""
import argparse
import csv
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(os.path.dirname(ROOT), "shared", "corpus")


def corpus_files(limit_pages, keep):
    """The unencrypted corpus files whose MANIFEST.tsv row `keep` accepts, with their page counts."""
    manifest = os.path.join(CORPUS, "MANIFEST.tsv")
    if not os.path.exists(manifest):
        return []
    files = []
    with open(manifest, newline="") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            if row.get("encryption") != "none" or not keep(row, row.get("features", "")):
                continue
            try:
                pages = int(row["pages"].split()[0])
            except ValueError:
                continue
            if pages >= 1:
                files.append((os.path.join(CORPUS, row["file"]), min(pages, limit_pages)))
    return files


def corpus_vector_files(limit_pages):
    return corpus_files(limit_pages, lambda row, features: (
        "fonts:" not in features and "images:" not in features
        and "damaged" not in row["file"] and "qpdf --check OK" in features))


def corpus_text_files(limit_pages, kinds_wanted=("Type 1", "Type 1C", "CID Type 0C")):
    def keep(row, features):
        fonts = [p for p in features.split("; ") if p.startswith("fonts: ")]
        if "images:" in features or not fonts:
            return False
        kinds = [k.strip().rsplit(" x", 1)[0] for k in fonts[0][7:].split(",")]
        return all(k in kinds_wanted for k in kinds)
    return corpus_files(limit_pages, keep)


def corpus_image_files(limit_pages):
    return corpus_files(limit_pages, lambda row, features: (
        "images:" in features and "damaged" not in row["file"]
        and "ccitt" not in features and "jbig2" not in features))


def corpus_fax_files(limit_pages):
    return corpus_files(limit_pages, lambda row, features: (
        "ccitt" in features and "jbig2" not in features and "damaged" not in row["file"]))


def corpus_jbig2_files(limit_pages):
    return corpus_files(limit_pages, lambda row, features: "jbig2" in features)


def generated(scratch, script, pages, *args):
    """Runs scripts/`script` into a scratch folder; its PDFs, each measured over `pages` pages."""
    out = os.path.join(scratch, os.path.splitext(script)[0])
    os.makedirs(out, exist_ok=True)
    subprocess.run([sys.executable, os.path.join(ROOT, "scripts", script), out, *map(str, args)],
                   check=True, stdout=subprocess.DEVNULL)
    return [(os.path.join(out, name), pages) for name in sorted(os.listdir(out))
            if name.endswith(".pdf")]


def generated_files(scratch, limit_pages):
    return [(os.path.join(ROOT, "resources", "sample.pdf"), 2)] + generated(
        scratch, "make-demo-pdfs.py", limit_pages, limit_pages)


def run(cmd):
    """Wall time and peak resident kilobytes of one command; None when it failed."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) not in (0, 1):
        return None
    return elapsed, usage.ru_maxrss


def commands(tool, cli, pdf, pages, dpi, outdir):
    if tool == "plover":
        return [cli, "--quiet", "--format", "png", "--dpi", str(dpi), "--pages", f"1-{pages}",
                "--output", outdir, pdf]
    if tool == "pdftoppm":
        return ["pdftoppm", "-png", "-r", str(dpi), "-f", "1", "-l", str(pages), pdf,
                os.path.join(outdir, "p")]
    return ["mutool", "draw", "-q", "-r", str(dpi), "-o", os.path.join(outdir, "p%d.png"), pdf,
            f"1-{pages}"]


def main():
    global CORPUS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "release", "cli", "plover-cli"))
    parser.add_argument("--dpi", default="96,300")
    parser.add_argument("--pages", type=int, default=5, help="pages per file at most")
    parser.add_argument("--repeat", type=int, default=1, help="runs per tool; the fastest counts")
    parser.add_argument("--detail", action="store_true", help="also print each file's seconds")
    parser.add_argument("--set", default="vector", choices=("vector", "text", "images", "fax", "jbig2", "truetype", "all"),
                        help="which pages to render")
    parser.add_argument("--corpus", default=CORPUS, help="folder of the corpus and its MANIFEST.tsv")
    parser.add_argument("--pdf", action="append", default=[], help="measure this file instead")
    args = parser.parse_args()
    CORPUS = args.corpus
    if not os.path.exists(args.cli):
        sys.exit(f"plover-cli not found at {args.cli} (build it, or pass --cli)")
    tools = ["plover"] + [t for t in ("pdftoppm", "mutool") if shutil.which(t)]

    with tempfile.TemporaryDirectory(prefix="plover-bench-") as scratch:
        files = [(pdf, args.pages) for pdf in args.pdf]
        if not args.pdf and args.set in ("vector", "all"):
            files += generated_files(scratch, args.pages) + corpus_vector_files(args.pages)
        if not args.pdf and args.set in ("text", "all"):
            files += generated(scratch, "make-text-pdfs.py", args.pages, args.pages)
            files += corpus_text_files(args.pages)
        if not args.pdf and args.set in ("images", "all"):
            files += generated(scratch, "make-image-pdfs.py", 1) + corpus_image_files(args.pages)
        if not args.pdf and args.set in ("fax", "all"):
            files += generated(scratch, "make-fax-pdfs.py", 1) + corpus_fax_files(args.pages)
        if not args.pdf and args.set in ("jbig2", "all"):
            files += generated(scratch, "make-jbig2-pdfs.py", 1) + corpus_jbig2_files(args.pages)
        if not args.pdf and args.set in ("truetype", "all"):
            files += generated(scratch, "make-truetype-pdfs.py", args.pages, args.pages)
            files += corpus_text_files(
                args.pages, ("TrueType", "CID TrueType", "Type 3"))
        total_pages = sum(p for _, p in files)
        print(f"{len(files)} files, {total_pages} pages; tools: {', '.join(tools)}")
        results = {}
        for dpi in [int(d) for d in args.dpi.split(",")]:
            for tool in tools:
                best = None
                for _ in range(args.repeat):
                    seconds, peak, done = 0.0, 0, 0
                    for i, (pdf, pages) in enumerate(files):
                        outdir = os.path.join(scratch, f"{tool}-{dpi}-{i}")
                        os.makedirs(outdir, exist_ok=True)
                        r = run(commands(tool, args.cli, pdf, pages, dpi, outdir))
                        shutil.rmtree(outdir, ignore_errors=True)
                        if args.detail:
                            shown = "failed" if r is None else f"{r[0]:.2f} s {r[1] / 1024:.0f} MB"
                            print(f"  {dpi} {tool:<9} {os.path.basename(pdf)[:60]:<60} {shown}")
                        if r is None:
                            continue
                        seconds += r[0]
                        peak = max(peak, r[1])
                        done += pages
                    if best is None or seconds < best[0]:
                        best = (seconds, peak, done)
                results[(tool, dpi)] = best

        print(f"\n{'dpi':>4} {'tool':<9} {'pages':>5} {'seconds':>8} {'pages/s':>8} {'peak MB':>8}"
              f" {'plover speed ratio':>19}")
        for (tool, dpi), (seconds, peak, done) in results.items():
            rate = done / seconds if seconds else 0
            ours = results[("plover", dpi)]
            ratio = ""
            if tool != "plover" and seconds:
                ratio = f"{(ours[2] / ours[0]) / rate:.2f}x"
            print(f"{dpi:>4} {tool:<9} {done:>5} {seconds:>8.2f} {rate:>8.1f} {peak / 1024:>8.1f}"
                  f" {ratio:>19}")
        print("\nratio = plover pages/s divided by the peer's (above 1: plover is faster)")


if __name__ == "__main__":
    main()
