#!/usr/bin/env python3
"""Pages per second of plover-cli with one and with several workers, against mutool draw with
threads (-T with bands -B, and with -P too), on a long text document and on a folder of short documents, at
each resolution; PNG output, every tool in the same run.

    bench/parallel_jobs.py [--cli PATH] [--jobs 2] [--dpi 96,300] [--pages 100] [--files 20]
                           [--pdf LONG.pdf] [--folder DIR] [--band 256] [--repeat R]

Without --pdf the long document is 100 TeX-like pages in embedded Type 1 fonts
(scripts/make-text-pdfs.py); without --folder the short documents are 3-page ones from the same
generator (Type 1 and, with ghostscript, CFF fonts), copied under 20 names. mutool converts the
folder one file per run, as a user's loop would. The load average is printed with each table:
other work on the machine makes the numbers unreliable, the ratios less so.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

ap = argparse.ArgumentParser()
ap.add_argument("--cli", default=os.path.join(ROOT, "build/test/cli/plover-cli"))
ap.add_argument("--jobs", type=int, default=2)
ap.add_argument("--dpi", default="96,300")
ap.add_argument("--pages", type=int, default=100)
ap.add_argument("--files", type=int, default=20)
ap.add_argument("--pdf", default="")
ap.add_argument("--folder", default="")
ap.add_argument("--band", type=int, default=256, help="mutool's band height (-B)")
ap.add_argument("--repeat", type=int, default=1, help="runs per tool; the fastest counts")
args = ap.parse_args()

scratch = tempfile.mkdtemp(prefix="plover-jobs-bench-")


def make_inputs():
    gen = os.path.join(scratch, "gen")
    os.makedirs(gen)
    long_pdf = args.pdf
    if not long_pdf:
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts/make-text-pdfs.py"), gen, str(args.pages)],
                       check=True, capture_output=True)
        long_pdf = os.path.join(gen, "tex-type1.pdf")
    folder = args.folder
    if not folder:
        short = os.path.join(scratch, "short")
        os.makedirs(short)
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts/make-text-pdfs.py"), short, "3"],
                       capture_output=True)
        kinds = [os.path.join(short, f) for f in sorted(os.listdir(short)) if f.endswith(".pdf")]
        folder = os.path.join(scratch, "folder")
        os.makedirs(folder)
        for i in range(args.files):
            shutil.copy(kinds[i % len(kinds)], os.path.join(folder, f"doc{i:02d}.pdf"))
        for k in kinds:
            os.remove(k)
    files = sorted(os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(".pdf"))
    return long_pdf, files


def page_count(pdf):
    out = subprocess.run([args.cli, "--info", pdf], capture_output=True, text=True).stdout
    return int(out.split("pages ")[1].split(",")[0].split()[0])


def timed(commands):
    best = None
    for _ in range(args.repeat):
        out = os.path.join(scratch, "out")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        start = time.monotonic()
        for cmd in commands(out):
            subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        took = time.monotonic() - start
        best = took if best is None else min(best, took)
    return best


def plover(files, dpi, jobs):
    return lambda out: [[args.cli, "--quiet", "--format", "png", "--dpi", str(dpi), "--jobs", str(jobs),
                         "--output", out] + files]


def mutool(files, dpi, extra):
    return lambda out: [["mutool", "draw", "-q", "-r", str(dpi)] + extra +
                        ["-o", os.path.join(out, f"{i}-%d.png"), f] for i, f in enumerate(files)]


long_pdf, folder = make_inputs()
sets = [("long text document (%d pages)" % page_count(long_pdf), [long_pdf]),
        ("folder of %d short documents (%d pages)" % (len(folder), sum(page_count(f) for f in folder)), folder)]
have_mutool = shutil.which("mutool") is not None
for dpi in [int(d) for d in args.dpi.split(",")]:
    for title, files in sets:
        pages = sum(page_count(f) for f in files)
        load = os.getloadavg()
        print(f"\n{title}, {dpi} dpi, PNG; load average {load[0]:.1f} {load[1]:.1f} {load[2]:.1f} on {os.cpu_count()} cores")
        runs = [("plover-cli --jobs 1", plover(files, dpi, 1)), (f"plover-cli --jobs {args.jobs}", plover(files, dpi, args.jobs))]
        if have_mutool:
            # mutool's threads draw bands of one page (-T needs -B); -P also interprets the next
            # page while the bands of this one are drawn.
            band = ["-B", str(args.band), "-T", str(args.jobs)]
            runs += [(f"mutool draw -T {args.jobs} -B {args.band}", mutool(files, dpi, band)),
                     (f"mutool draw -T {args.jobs} -B {args.band} -P", mutool(files, dpi, band + ["-P"]))]
        results = {name: pages / timed(cmds) for name, cmds in runs}
        base = results["plover-cli --jobs 1"]
        ours = results[f"plover-cli --jobs {args.jobs}"]
        best_mutool = max((v for k, v in results.items() if k.startswith("mutool")), default=0)
        print(f"  {'tool':28s} {'pages/s':>8s} {'vs --jobs 1':>12s}")
        for name, rate in results.items():
            print(f"  {name:28s} {rate:8.2f} {rate / base:11.2f}x")
        if best_mutool:
            print(f"  plover-cli --jobs {args.jobs} / fastest mutool: {ours / best_mutool:.2f}x")
shutil.rmtree(scratch, ignore_errors=True)
