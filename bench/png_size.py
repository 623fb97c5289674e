#!/usr/bin/env python3
"""Total size of the PNG pages plover-cli writes against mutool draw's for the same pages, with
each tool's CPU time (user + system of its processes).

    bench/png_size.py --cli PATH [--cli PATH]... [--dpi 150] [--pages 1-20] FILE.pdf...

Each --cli is measured (say, plover-cli before and after an encoder change), then mutool."""
import argparse, os, resource, shutil, subprocess, tempfile

ap = argparse.ArgumentParser()
ap.add_argument("--cli", action="append", required=True)
ap.add_argument("--dpi", default="150")
ap.add_argument("--pages", default="1-20")
ap.add_argument("files", nargs="+")
args = ap.parse_args()


def cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def measure(name, command_for):
    work = tempfile.mkdtemp(prefix="plover-png-")
    start = cpu()
    for i, pdf in enumerate(args.files):
        out = os.path.join(work, str(i))
        os.makedirs(out)
        subprocess.run(command_for(pdf, out), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = cpu() - start
    sizes = [os.path.getsize(os.path.join(b, n)) for b, _, ns in os.walk(work) for n in ns if n.lower().endswith(".png")]
    shutil.rmtree(work)
    print(f"{name:40.40s} {len(sizes):5d} pages {sum(sizes):12d} bytes {seconds:8.2f} s CPU")
    return sum(sizes)


for cli in args.cli:
    measure(cli, lambda pdf, out, cli=cli: [cli, "--jobs", "1", "--format", "png", "--dpi", args.dpi, "--pages",
                                             args.pages, "--output", out, pdf])
if shutil.which("mutool"):
    measure("mutool draw", lambda pdf, out: ["mutool", "draw", "-q", "-r", args.dpi, "-o",
                                             os.path.join(out, "%d.png"), pdf, args.pages])
