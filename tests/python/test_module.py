"""The module `plover` against plover-cli: same pixels, same files, same reasons."""
import gc
import subprocess
import threading

import numpy as np
import pytest
from PIL import Image

import plover


def cli_run(cli, pdf, out, *options):
    return subprocess.run([cli, "--output", str(out), *options, str(pdf)], capture_output=True, text=True)


def test_render_equals_the_cli_png(cli, sample, pdfs, tmp_path):
    for pdf in (sample, pdfs / "shapes.pdf"):
        assert cli_run(cli, pdf, tmp_path, "--format", "png", "--dpi", "72").returncode == 0
        with plover.open(pdf) as doc:
            for n in range(1, doc.page_count + 1):
                expected = np.asarray(Image.open(tmp_path / pdf.stem / f"{n}.PNG").convert("RGB"))
                got = doc.render(n, dpi=72)
                assert got.dtype == np.uint8 and got.shape == expected.shape, (pdf.name, n)
                assert np.array_equal(got, expected), (pdf.name, n)


def test_save_writes_the_cli_file_in_every_format(cli, sample, tmp_path):
    doc = plover.open(sample.read_bytes())
    for fmt in plover.formats:
        assert cli_run(cli, sample, tmp_path / fmt, "--format", fmt, "--dpi", "40", "--pages", "2").returncode == 0
        target = tmp_path / f"page.{fmt}"
        doc.save(2, target, dpi=40)
        assert target.read_bytes() == (tmp_path / fmt / "sample" / f"2.{fmt.upper()}").read_bytes(), fmt
    doc.save(1, tmp_path / "page.out", format="bmp", dpi=10)
    assert (tmp_path / "page.out").read_bytes()[:2] == b"BM"


def test_errors_carry_the_cli_reasons(cli, pdfs, tmp_path):
    cases = [("missing.pdf", None, plover.NoSuchFileError), ("notes.pdf", None, plover.NotPdfError),
             ("damaged.pdf", None, plover.DamagedFileError), ("locked.pdf", "wrong", plover.PasswordError)]
    for name, password, kind in cases:
        path = pdfs / name
        with pytest.raises(kind) as raised:
            plover.open(str(path), password=password)
        assert isinstance(raised.value, plover.Error)
        run = cli_run(cli, path, tmp_path, *(["--password", password] if password else []))
        assert f"{path}: {raised.value}\n" in run.stderr, (name, run.stderr)
        if path.exists():  # the same from the bytes
            with pytest.raises(kind, match=str(raised.value)):
                plover.open(memoryview(path.read_bytes()), password=password)
    assert issubclass(plover.NoSuchFileError, FileNotFoundError)

    locked = plover.open(pdfs / "locked.pdf", password=b"secret")
    assert locked.info()["pages"] == 5 and locked.info()["encryption"] != "none"
    with plover.open(bytearray((pdfs / "shapes.pdf").read_bytes())) as plain:
        assert np.array_equal(locked.render(4, dpi=30), plain.render(4, dpi=30))
        for page, text in [(0, "page 0 does not exist: pages count from 1"),
                           (6, "page 6 does not exist: the document has 5 pages")]:
            with pytest.raises(IndexError, match=text):
                plain.render(page)
        for call in [lambda: plain.render(1, dpi=0), lambda: plain.render(1, dpi=72, width=10),
                     lambda: plain.render(1, colour="cmyk"), lambda: plain.save(1, tmp_path / "x.pdf")]:
            with pytest.raises(ValueError):
                call()
    with pytest.raises(ValueError, match="closed"):
        plain.page_count
    with pytest.raises(TypeError):
        plover.open(42)


def test_sizes_and_gray(pdfs):
    doc = plover.open(pdfs / "shapes.pdf")
    assert doc.page_size(1) == (200, 260) and doc.page_size(2) == (260, 200)  # /Rotate 90
    assert doc.render(2, dpi=72).shape == (200, 260, 3)
    for width, height in [(150, None), (None, 97), (1000, 1000), (33, 1000)]:
        h, w, _ = doc.render(1, width=width, height=height).shape
        assert (width is None or w <= width) and (height is None or h <= height)
        assert w == width or h == height, (width, height, w, h)
    gray = doc.render(1, dpi=50, colour="gray")
    rgb = doc.render(1, dpi=50)
    assert gray.shape == rgb.shape[:2] and gray.flags.c_contiguous
    white = (rgb == 255).all(axis=2)
    assert (gray[white] == 255).all() and (gray[~white] < 255).any()


def test_two_threads_render_what_one_does(sample, pdfs):
    for pdf in (sample, pdfs / "shapes.pdf"):
        doc = plover.open(pdf)
        pages = list(range(1, doc.page_count + 1))
        alone = {n: doc.render(n, dpi=110) for n in pages}
        got = [[], []]

        def work(k):
            for n in (pages if k == 0 else pages[::-1]) * 2:
                got[k].append((n, doc.render(n, dpi=110)))

        threads = [threading.Thread(target=work, args=(k,)) for k in (0, 1)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for results in got:
            assert len(results) == 2 * len(pages)
            for n, picture in results:
                assert np.array_equal(picture, alone[n]), (pdf.name, n)


def test_closing_the_document_while_pages_render(pdfs):
    doc = plover.open(pdfs / "shapes.pdf")
    expected = {n: doc.render(n, dpi=200) for n in range(1, 6)}
    first_done = threading.Event()
    results, stops = [[] for _ in range(3)], [None] * 3

    def work(k, render):
        try:
            while True:
                for n in range(1, 6):
                    results[k].append((n, render(n, dpi=200)))
                    first_done.set()
        except ValueError as e:  # the document was closed between two pages
            stops[k] = str(e)

    threads = [threading.Thread(target=work, args=(k, doc.render)) for k in range(3)]
    for t in threads:
        t.start()
    first_done.wait(30)
    doc.close()
    del doc
    gc.collect()
    for t in threads:
        t.join(30)
    assert stops == ["the document is closed"] * 3
    assert any(results)
    for k in range(3):
        for n, picture in results[k]:
            assert np.array_equal(picture, expected[n])
    kept = next(picture for r in results for _, picture in r)
    del results
    gc.collect()
    assert kept.sum() > 0  # an array outlives its document
