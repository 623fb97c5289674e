#!/usr/bin/env python3
"""Compares plover-cli --info page counts with the corpus manifest (qpdf's counts).

Usage: scripts/corpus_pages.py PLOVER_CLI [CORPUS_DIR]
Prints one line per disagreement and a summary; exits 1 when a file whose qpdf check was clean
disagrees, or when any file crashed or timed out."""
import csv, os, re, subprocess, sys

cli = sys.argv[1]
corpus = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "../../shared/corpus")
manifest = os.path.join(corpus, "MANIFEST.tsv")
if not os.path.exists(manifest):
    print("corpus not found:", corpus)
    sys.exit(0)

rows = list(csv.DictReader(open(manifest, encoding="utf-8"), delimiter="\t"))
bad = ok = clean_bad = crashes = 0
for row in rows:
    path = os.path.join(corpus, row["file"])
    pw = row.get("password", "")
    args = [cli, "--info", path]
    m = re.search(r"user=(\S*)", pw)
    if m and m.group(1) != "(empty)":
        args[1:1] = ["--password", m.group(1)]
    try:
        p = subprocess.run(args, capture_output=True, text=True, timeout=60)
    except subprocess.TimeoutExpired:
        print("TIMEOUT", row["file"]); crashes += 1; continue
    if p.returncode not in (0, 1):
        print("CRASH", p.returncode, row["file"], p.stderr[-300:]); crashes += 1; continue
    got = re.search(r"pages (-?\d+)", p.stdout)
    want = row["pages"]
    clean = "qpdf --check OK" in row["features"]
    if got and got.group(1) == want:
        ok += 1
        continue
    bad += 1
    if clean:
        clean_bad += 1
    print(("CLEAN " if clean else "") + "MISMATCH", row["file"], "want", want, "got", p.stdout.strip()[-160:])
print(f"{ok} agree, {bad} differ ({clean_bad} of them qpdf-clean), {crashes} crashes/timeouts, {len(rows)} files")
sys.exit(1 if clean_bad or crashes else 0)
