#!/usr/bin/python3
"""Scores SVG pages against pdftoppm's PNG of the same page, for plover-cli and for the SVG
writers of the peers, with the ink-based score of the shared fidelity tool.

    scripts/svg_fidelity.py --cli build/test/cli/plover-cli [--via plover,pdftocairo,mutool,png]
                            [--dpi 72] [--page 1] [--jobs 2] ../shared/corpus/*.pdf

Each writer's SVG (plover-cli --format svg, pdftocairo -svg, mutool draw -o x.svg) is drawn
back by rsvg-convert (librsvg2-bin) on white at the reference's resolution; "png" scores
plover-cli's own PNG of the page, to tell what the SVG loses from what the engine misses.
The reference is made once per file. Prints a line per file and a table: per writer, pages
matching (score >= 0.97) by colour and by shape, mean scores, and pages without a picture.
"""
import argparse
import concurrent.futures
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

WRITERS = ("plover", "pdftocairo", "mutool", "png")


def load_fidelity(path):
    sys.path.insert(0, os.path.dirname(os.path.abspath(path)))
    import fidelity  # noqa: E402  (the shared tool: score(), render_ref(), manifest_password())
    return fidelity


def run(cmd, timeout):
    try:
        return subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "timeout"
    except OSError as e:  # a program missing or not runnable: that writer makes no page
        return str(e)


def page_svg(writer, cli, pdf, page, dpi, password, work, timeout):
    """Writes the page as SVG into work; returns its path, or None."""
    name = os.path.splitext(os.path.basename(pdf))[0]
    if writer == "plover":
        cmd = [cli, "--format", "svg", "--dpi", str(dpi), "--pages", str(page), "--output", work,
               "--name", "page.svg", "--quiet"] + (["--password", password] if password else [])
        run(cmd + [pdf], timeout)
        out = os.path.join(work, name, "page.svg")
    elif writer == "pdftocairo":
        out = os.path.join(work, "cairo.svg")
        cmd = ["pdftocairo", "-svg", "-f", str(page), "-l", str(page)]
        run(cmd + (["-upw", password] if password else []) + [pdf, out], timeout)
    else:
        out = os.path.join(work, "mu%d.svg" % page)
        cmd = ["mutool", "draw", "-q", "-o", os.path.join(work, "mu%d.svg")]
        run(cmd + (["-p", password] if password else []) + [pdf, str(page)], timeout)
    return out if os.path.exists(out) else None


def page_png(writer, cli, pdf, page, dpi, password, work, timeout):
    """The writer's page as a PNG at dpi on white; None when none was made."""
    png = os.path.join(work, writer + ".png")
    if writer == "png":
        name = os.path.splitext(os.path.basename(pdf))[0]
        cmd = [cli, "--format", "png", "--dpi", str(dpi), "--pages", str(page), "--output", work,
               "--name", "page.png", "--quiet"] + (["--password", password] if password else [])
        run(cmd + [pdf], timeout)
        made = os.path.join(work, name, "page.png")
        return made if os.path.exists(made) else None
    svg = page_svg(writer, cli, pdf, page, dpi, password, work, timeout)
    if not svg:
        return None
    rc = run(["rsvg-convert", "-d", str(dpi), "-p", str(dpi), "-b", "white", "-f", "png",
              "-o", png, svg], timeout)
    return png if rc == 0 and os.path.exists(png) else None


def score_file(fidelity, pdf, args):
    """(pdf, {writer: (colour, shape) or None}), or (pdf, None) without a reference page."""
    password = fidelity.manifest_password(pdf)
    with tempfile.TemporaryDirectory(prefix="svgfid-") as work:
        ref = os.path.join(work, "ref.png")
        try:
            if not fidelity.render_ref("pdftoppm", pdf, args.page, args.dpi, ref, password):
                return pdf, None
        except subprocess.TimeoutExpired:
            return pdf, None
        b = np.asarray(Image.open(ref).convert("RGB"))
        scores = {}
        for writer in args.via:
            sub = os.path.join(work, writer)
            os.makedirs(sub)
            png = page_png(writer, args.cli, pdf, args.page, args.dpi, password, sub, args.timeout)
            try:
                a = np.asarray(Image.open(png).convert("RGB")) if png else None
            except Exception:  # a file that is not a readable PNG
                a = None
            scores[writer] = fidelity.score(a, b) if a is not None else None
        return pdf, scores


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default=os.path.join(here, "..", "build", "test", "cli", "plover-cli"))
    ap.add_argument("--via", default="plover,pdftocairo,mutool,png")
    ap.add_argument("--fidelity", default=os.path.join(here, "..", "..", "shared", "tools", "fidelity.py"))
    ap.add_argument("--dpi", type=int, default=72)
    ap.add_argument("--page", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=1)
    ap.add_argument("--timeout", type=int, default=120)
    ap.add_argument("pdfs", nargs="+")
    args = ap.parse_args()
    args.via = args.via.split(",")
    if any(w not in WRITERS for w in args.via):
        ap.error("--via takes " + ",".join(WRITERS))
    fidelity = load_fidelity(args.fidelity)
    results = {w: [] for w in args.via}
    skipped = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for pdf, scores in pool.map(lambda p: score_file(fidelity, p, args), args.pdfs):
            if scores is None:
                skipped += 1
                print("%s: no reference page" % pdf, flush=True)
                continue
            cells = []
            for w in args.via:
                results[w].append(scores[w])
                cells.append("%s %s" % (w, "missing" if scores[w] is None else "%.3f/%.3f" % scores[w]))
            print("%s: %s" % (pdf, "  ".join(cells)), flush=True)
    print("\nwriter      pages  colour matched     shape matched      mean colour/shape  missing")
    for w in args.via:
        v = results[w]
        n = len(v)
        got = [s for s in v if s is not None]
        colour = sum(s[0] >= fidelity.MATCH for s in got)
        shape = sum(s[1] >= fidelity.MATCH for s in got)
        mean = lambda k: sum(s[k] for s in got) / n if n else 0.0  # a missing page scores 0
        pct = lambda k: 100.0 * k / n if n else 0.0
        print("%-10s %6d  %4d (%5.1f%%)     %4d (%5.1f%%)     %.3f / %.3f      %d"
              % (w, n, colour, pct(colour), shape, pct(shape), mean(0), mean(1), n - len(got)))
    if skipped:
        print("%d files without a reference page (pdftoppm failed or timed out)" % skipped)


if __name__ == "__main__":
    main()
