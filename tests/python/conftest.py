"""Fixtures of the Python module's tests: PDFs made at test time, and plover-cli to compare with."""
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts"))
from pdf_file import write_pdf  # noqa: E402


def vector_pages(path, count):
    """`count` pages of filled shapes and strokes, each different; page 2 turned by /Rotate 90."""
    kids = " ".join(f"{3 + 2 * i} 0 R" for i in range(count))
    objs = {1: b"<< /Type /Catalog /Pages 2 0 R >>",
            2: f"<< /Type /Pages /Kids [{kids}] /Count {count} >>".encode()}
    for i in range(count):
        ops = (f"0.{i % 10} 0.3 0.8 rg 20 20 {100 + 7 * i} 90 re f "
               f"0.9 0.1 0.{(i * 3) % 10} RG 4 w 10 150 m 190 {40 + i} l 100 250 l h S").encode()
        rotate = b" /Rotate 90" if i == 1 else b""
        objs[3 + 2 * i] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 260]%s /Contents %d 0 R >>"
                           % (rotate, 4 + 2 * i))
        objs[4 + 2 * i] = b"<< /Length %d >>\nstream\n%s\nendstream" % (len(ops), ops)
    write_pdf(path, objs)
    return path


def encrypt(source, target, password):
    subprocess.run(["qpdf", "--encrypt", password, password + "-owner", "256", "--", str(source), str(target)],
                   check=True)
    return target


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("PLOVER_CLI") or shutil.which("plover-cli")
    if not path:
        pytest.skip("plover-cli not found (set PLOVER_CLI)")
    return path


@pytest.fixture(scope="session")
def sample():
    return ROOT / "resources" / "sample.pdf"


@pytest.fixture(scope="session")
def pdfs(tmp_path_factory):
    """A folder of PDFs: vector pages, an encrypted copy (password "secret"), a damaged file
    and a file that is no PDF."""
    d = tmp_path_factory.mktemp("pdfs")
    vector_pages(d / "shapes.pdf", 5)
    if shutil.which("qpdf"):
        encrypt(d / "shapes.pdf", d / "locked.pdf", "secret")
    (d / "damaged.pdf").write_bytes(b"%PDF-1.7\n1 0 obj\n<< /Type /Nothing\n" + bytes(range(256)) * 4)
    (d / "notes.pdf").write_bytes(b"these are not the pages you are looking for\n")
    return d
