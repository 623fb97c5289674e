#!/usr/bin/python3
"""Stands in for plover-cli in /work/shared/tools/fidelity.py (or any tool taking its options)
so that SVG pages are scored: each page is written as SVG by plover-cli, `pdftocairo -svg` or
`mutool draw`, drawn back by rsvg-convert (librsvg2-bin) on white at the same resolution and
saved where fidelity.py looks for plover-cli's PNG pages.

    SVG_VIA=plover|pdftocairo|mutool PLOVER_CLI=build/test/cli/plover-cli \\
        fidelity.py --cli scripts/svg_fidelity.py --pages 1 ../shared/corpus/*.pdf

Takes --format (ignored), --dpi, --pages 1-N, --output DIR, --password, --quiet and one PDF.
"""
import os
import subprocess
import sys
import tempfile


def main():
    args = sys.argv[1:]
    opts = {}
    pdf = None
    i = 0
    while i < len(args):
        a = args[i]
        if a in ("--format", "--dpi", "--pages", "--output", "--password"):
            opts[a] = args[i + 1]
            i += 2
            continue
        if not a.startswith("--"):
            pdf = a
        i += 1
    via = os.environ.get("SVG_VIA", "plover")
    dpi = opts.get("--dpi", "72")
    last = int(opts.get("--pages", "1-1").split("-")[-1])
    password = opts.get("--password")
    name = os.path.splitext(os.path.basename(pdf))[0]
    outdir = os.path.join(opts.get("--output", "."), name)
    os.makedirs(outdir, exist_ok=True)
    failed = False
    with tempfile.TemporaryDirectory() as work:
        for page in range(1, last + 1):
            svg = os.path.join(work, "%d.svg" % page)
            if via == "plover":
                cmd = [os.environ.get("PLOVER_CLI", "plover-cli"), "--format", "svg", "--dpi", dpi,
                       "--pages", str(page), "--output", work, "--quiet"]
                cmd += ["--password", password] if password else []
                subprocess.run(cmd + [pdf], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               timeout=300)
                made = os.path.join(work, name, "%d.SVG" % page)
                if os.path.exists(made):
                    os.replace(made, svg)
            elif via == "pdftocairo":
                cmd = ["pdftocairo", "-svg", "-f", str(page), "-l", str(page)]
                cmd += ["-upw", password] if password else []
                subprocess.run(cmd + [pdf, svg], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=300)
            else:
                cmd = ["mutool", "draw", "-q", "-o", svg]
                cmd += ["-p", password] if password else []
                subprocess.run(cmd + [pdf, str(page)], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=300)
            if not os.path.exists(svg):
                failed = True
                continue
            png = os.path.join(outdir, "%d.PNG" % page)
            r = subprocess.run(["rsvg-convert", "-d", dpi, "-p", dpi, "-b", "white", "-f", "png",
                                "-o", png, svg], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=300)
            failed |= r.returncode != 0
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
