#!/usr/bin/env python3
"""Big and hostile files: time and peak memory of plover-cli, pdftoppm and mutool draw on the
same generated files, in one run (each tool under /usr/bin/time -v).

    bench/big_files.py [--cli PATH] [--keep DIR] [--case NAME]...

Cases:
  padded   a valid 1-page PDF padded with an unreferenced 1 GB stream, at 96 dpi (skipped
           when the scratch folder lacks 1.2 GB)
  scan     an A4 page holding one 600-dpi 8-bit gray scan (Flate), at 96 dpi
  a4-2400  an A4 page of vector drawing at 2400 dpi
  bomb     20 pages whose content is one shared Flate stream of 2 GiB of zeros, at 96 dpi
Output is PNG for every tool. A run that fails is shown with its exit status (124: stopped
after --limit seconds).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from pdf_file import write_pdf  # noqa: E402

A4 = b"/MediaBox [0 0 595 842]"


def stream(entries, data):
    return b"<< " + entries + b" /Length %d >>\nstream\n" % len(data) + data + b"\nendstream"


def make_padded(path, size=1 << 30):
    """Catalogue, pages, page and content, then an unreferenced stream of `size` bytes."""
    content = stream(b"", b"0 0 1 rg 100 100 400 400 re f")
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            b"<< /Type /Page /Parent 2 0 R " + A4 + b" /Contents 4 0 R >>", content]
    with open(path, "wb") as f:
        out = bytearray(b"%PDF-1.7\n")
        offsets = []
        for n, body in enumerate(objs, 1):
            offsets.append(len(out))
            out += b"%d 0 obj\n" % n + body + b"\nendobj\n"
        out += b"5 0 obj\n<< /Length %d >>\nstream\n" % size
        f.write(out)
        pos = len(out)
        block = os.urandom(1 << 20)
        left = size
        while left > 0:
            f.write(block[:min(left, len(block))])
            left -= len(block)
        f.write(b"\nendstream\nendobj\n")
        xref = pos + size + len(b"\nendstream\nendobj\n")
        tail = b"xref\n0 5\n0000000000 65535 f \n" + b"".join(b"%010d 00000 n \n" % o for o in offsets)
        tail += b"trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % xref
        f.write(tail)


def make_bomb(path, pages=20, mib=2048):
    packer = zlib.compressobj(9)
    zeros = b"\0" * (1 << 20)
    packed = b"".join(packer.compress(zeros) for _ in range(mib)) + packer.flush()
    kids = b" ".join(b"%d 0 R" % (4 + i) for i in range(pages))
    objs = {1: b"<< /Type /Catalog /Pages 2 0 R >>",
            2: b"<< /Type /Pages /Kids [" + kids + b"] /Count %d >>" % pages,
            3: stream(b"/Filter /FlateDecode", packed)}
    for i in range(pages):
        objs[4 + i] = b"<< /Type /Page /Parent 2 0 R " + A4 + b" /Contents 3 0 R >>"
    write_pdf(path, objs)


def make_vector_a4(path):
    ops = [b"0.2 0.4 0.8 rg 2 w"]
    for i in range(60):
        y = 40 + i * 12
        ops.append(b"%d %d m %d %d %d %d %d %d c S" % (40, y, 200, y + 40, 400, y - 40, 555, y))
    ops.append(b"0.9 0.2 0.1 rg 100 100 395 200 re f")
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            b"<< /Type /Page /Parent 2 0 R " + A4 + b" /Contents 4 0 R >>", stream(b"", b"\n".join(ops))]
    write_pdf(path, objs)


def make_scan(folder):
    subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make-image-pdfs.py"), folder],
                   check=True, stdout=subprocess.DEVNULL)
    return os.path.join(folder, "scan-600dpi-gray.pdf")


def measure(cmd, limit):
    """(seconds, peak MB, exit status) of one run under /usr/bin/time -v, stopped after `limit`
    seconds (timeout's status 124 then tells)."""
    run = subprocess.run(["/usr/bin/time", "-v", "timeout", str(limit)] + cmd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, errors="replace")
    wall = re.search(r"Elapsed \(wall clock\) time .*: (?:(\d+):)?(\d+):([\d.]+)", run.stderr)
    rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", run.stderr)
    seconds = (int(wall.group(1) or 0) * 3600 + int(wall.group(2)) * 60 + float(wall.group(3))) if wall else 0
    status = re.search(r"Exit status: (\d+)", run.stderr)
    return seconds, int(rss.group(1)) / 1024 if rss else 0, int(status.group(1)) if status else run.returncode


def tools(cli, pdf, dpi, out):
    yield "plover-cli", [cli, "--quiet", "--format", "png", "--dpi", str(dpi), "--output", out, pdf]
    if shutil.which("pdftoppm"):
        yield "pdftoppm", ["pdftoppm", "-png", "-r", str(dpi), pdf, os.path.join(out, "pp")]
    if shutil.which("mutool"):
        yield "mutool", ["mutool", "draw", "-q", "-r", str(dpi), "-o", os.path.join(out, "mu-%d.png"), pdf]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "release", "cli", "plover-cli"))
    parser.add_argument("--keep", help="folder for the generated files (kept; made when missing)")
    parser.add_argument("--case", action="append", choices=["padded", "scan", "a4-2400", "bomb"])
    parser.add_argument("--limit", type=int, default=300, help="seconds one run may take (default 300)")
    args = parser.parse_args()
    cases = args.case or ["padded", "scan", "a4-2400", "bomb"]
    scratch = args.keep or tempfile.mkdtemp(prefix="plover-big-")
    os.makedirs(scratch, exist_ok=True)
    try:
        rows = []
        for case in cases:
            pdf = os.path.join(scratch, case + ".pdf")
            dpi = 96
            if case == "padded":
                if shutil.disk_usage(scratch).free < (1200 << 20):
                    print("padded: skipped, the scratch folder lacks 1.2 GB", file=sys.stderr)
                    continue
                if not os.path.exists(pdf):
                    make_padded(pdf)
            elif case == "scan":
                pdf = make_scan(scratch)
            elif case == "a4-2400":
                dpi = 2400
                make_vector_a4(pdf)
            elif case == "bomb" and not os.path.exists(pdf):
                make_bomb(pdf)
            out = tempfile.mkdtemp(dir=scratch)
            for name, cmd in tools(args.cli, pdf, dpi, out):
                seconds, mb, status = measure(cmd, args.limit)
                rows.append((case, name, seconds, mb, status))
                print(f"{case:8} {name:11} {seconds:8.2f} s {mb:9.1f} MB  exit {status}", file=sys.stderr)
            shutil.rmtree(out, ignore_errors=True)
        print("| case | tool | time (s) | peak (MB) | exit |")
        print("|---|---|---:|---:|---:|")
        for case, name, seconds, mb, status in rows:
            print(f"| {case} | {name} | {seconds:.2f} | {mb:.1f} | {status} |")
    finally:
        if not args.keep:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
