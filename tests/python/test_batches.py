"""The batch recipes in examples/: Dask on a LocalCluster of two workers, and GNU parallel."""
import os
import re
import shutil
import subprocess
import sys

import pytest

import plover
from conftest import ROOT


@pytest.fixture
def batch(pdfs, tmp_path):
    """Two PDFs of one name (their folders: "shapes" and "shapes (2)"), one encrypted, one damaged."""
    if not (pdfs / "locked.pdf").exists():
        pytest.skip("qpdf is missing")
    folder = tmp_path / "in"
    (folder / "sub").mkdir(parents=True)
    for name in ("shapes.pdf", "locked.pdf", "damaged.pdf"):
        shutil.copy(pdfs / name, folder / name)
    shutil.copy(pdfs / "shapes.pdf", folder / "sub" / "shapes.pdf")
    return folder


def check_output(out, stdout, stderr):
    for folder in ("shapes", "shapes (2)"):
        assert sorted(os.listdir(out / folder)) == [f"{n}.PNG" for n in range(1, 6)], folder
    assert sorted(os.listdir(out)) == ["shapes", "shapes (2)"]
    assert (out / "shapes (2)" / "4.PNG").read_bytes() == (out / "shapes" / "4.PNG").read_bytes()
    assert re.search(r"locked\.pdf: wrong password$", stderr, re.M), stderr
    assert re.search(r"damaged\.pdf: damaged file: ", stderr, re.M), stderr
    assert re.search(r"^4 files: 2 complete, 2 failed; 10 pages in [\d.]+ s, [\d.]+ pages per second", stdout, re.M), stdout


def test_dask_example_on_two_local_workers(batch, tmp_path):
    pytest.importorskip("distributed")
    out = tmp_path / "out"
    run = subprocess.run([sys.executable, str(ROOT / "examples" / "dask_convert.py"), "--workers", "2", "--pages-per-task", "2",
                          "--format", "png", "--output", str(out), str(batch)],
                         capture_output=True, text=True, timeout=120)
    assert run.returncode == 1, run.stderr
    check_output(out, run.stdout, run.stderr)
    assert "on 2 workers" in run.stdout
    with plover.open(batch / "shapes.pdf") as doc:
        doc.save(3, tmp_path / "3.PNG")
    assert (out / "shapes" / "3.PNG").read_bytes() == (tmp_path / "3.PNG").read_bytes()


def test_parallel_example_resumes(cli, batch, tmp_path):
    if not shutil.which("parallel"):
        pytest.skip("GNU parallel is missing")
    if "--skip-existing" not in subprocess.run([cli, "--help"], capture_output=True, text=True).stdout:
        pytest.skip("plover-cli lacks --json and --skip-existing")
    out = tmp_path / "out"
    command = [str(ROOT / "examples" / "parallel_convert.sh"), "--jobs", "2", "--output", str(out),
               "--", "--format", "png", str(batch)]
    env = dict(os.environ, PLOVER_CLI=cli)
    run = subprocess.run(command, capture_output=True, text=True, timeout=120, env=env)
    assert run.returncode == 1, run.stderr
    check_output(out, run.stdout, run.stderr)
    (out / "shapes (2)" / "2.PNG").unlink()
    again = subprocess.run(command, capture_output=True, text=True, timeout=120, env=env)
    assert "; 1 pages in" in again.stdout and "9 pages already there were kept" in again.stdout, again.stdout
    assert (out / "shapes (2)" / "2.PNG").read_bytes() == (out / "shapes" / "2.PNG").read_bytes()
