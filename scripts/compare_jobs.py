#!/usr/bin/env python3
"""Converts the corpus with plover-cli --jobs 1 and --jobs N and checks that both runs give the
same thing: byte-identical page files, the same folders, the same stdout and stderr lines and the
same exit status. Files that share a password are converted in one run, so files of one run are
spread over the workers too.

Usage: scripts/compare_jobs.py PLOVER_CLI [--corpus DIR] [--jobs N] [--dpi D] [--format F]
                               [--pages LIST] [--limit K] [--keep DIR]
Exits 1 on any difference, or when a run crashed (a status other than 0 or 1: a sanitizer's
report ends the run with its own status)."""
import argparse, csv, filecmp, os, re, shutil, subprocess, sys, tempfile

ap = argparse.ArgumentParser()
ap.add_argument("cli")
ap.add_argument("--corpus", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../shared/corpus"))
ap.add_argument("--jobs", type=int, default=4)
ap.add_argument("--dpi", default="72")
ap.add_argument("--format", default="png")
ap.add_argument("--pages", default="")
ap.add_argument("--limit", type=int, default=0, help="only the first K files of the manifest")
ap.add_argument("--keep", default="", help="keep the outputs in this folder")
args = ap.parse_args()

manifest = os.path.join(args.corpus, "MANIFEST.tsv")
if not os.path.exists(manifest):
    print("corpus not found:", args.corpus)
    sys.exit(0)
rows = list(csv.DictReader(open(manifest, encoding="utf-8"), delimiter="\t"))
if args.limit:
    rows = rows[: args.limit]

groups = {}
for row in rows:
    m = re.search(r"user=(\S*)", row.get("password", ""))
    password = m.group(1) if m and m.group(1) != "(empty)" else ""
    groups.setdefault(password, []).append(os.path.join(args.corpus, row["file"]))

work = args.keep or tempfile.mkdtemp(prefix="plover-jobs-")
problems = 0


def run(jobs, out, password, files):
    cmd = [args.cli, "--format", args.format, "--dpi", args.dpi, "--jobs", str(jobs), "--output", out]
    if password:
        cmd += ["--password", password]
    if args.pages:
        cmd += ["--pages", args.pages]
    p = subprocess.run(cmd + ["--"] + files, capture_output=True, text=True, errors="replace", timeout=3600)
    # Folders differ only by the run's output folder.
    return p.returncode, p.stdout.replace(out, "OUT"), p.stderr.replace(out, "OUT")


def tree(folder):
    found = set()
    for base, _, names in os.walk(folder):
        for n in names:
            found.add(os.path.relpath(os.path.join(base, n), folder))
    return found


pages = 0
for i, (password, files) in enumerate(groups.items()):
    one, many = os.path.join(work, f"{i}-jobs1"), os.path.join(work, f"{i}-jobs{args.jobs}")
    a = run(1, one, password, files)
    b = run(args.jobs, many, password, files)
    for name, x, y in (("exit status", a[0], b[0]), ("stdout", a[1], b[1]), ("stderr", a[2], b[2])):
        if x != y:
            problems += 1
            print(f"DIFFERENT {name} (group {i}):\n--- jobs 1\n{x}\n--- jobs {args.jobs}\n{y}")
    for status, err in ((a[0], a[2]), (b[0], b[2])):
        if status not in (0, 1):
            problems += 1
            print(f"CRASH status {status} (group {i}):\n{err[-3000:]}")
    ta, tb = tree(one), tree(many)
    if ta != tb:
        problems += 1
        print("DIFFERENT files:", sorted(ta ^ tb)[:20])
    for rel in sorted(ta & tb):
        pages += 1
        if not filecmp.cmp(os.path.join(one, rel), os.path.join(many, rel), shallow=False):
            problems += 1
            print("DIFFERENT bytes:", rel)

print(f"{len(rows)} files in {len(groups)} runs, {pages} page files compared, {problems} differences")
if not args.keep:
    shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if problems else 0)
