#!/usr/bin/env python3
"""Converts a folder (or a list file) of PDFs into page images on a Dask cluster.

    dask_convert.py [--workers N] [--scheduler tcp://host:8786] --output DIR FOLDER|LIST

Every PDF gets the folder plover-cli would give it under DIR (named after the PDF, "name (2)"
for a second PDF of the same name) with one file per page: 1.PNG, 2.PNG, ... Without
--scheduler a LocalCluster of N worker processes runs on this machine; with it, the workers of
a running cluster do the work, and DIR and the PDFs must be at the same paths on every worker
(a shared file system). One task counts a document's pages, then one task converts each range
of --pages-per-task pages; a task that fails (a worker lost, a full disk) is retried
--retries times. A summary ends the run: files, pages, failures with their reasons, pages per
second. Exit status: 0 when every file completed, 1 when any failed, 2 for bad usage.
"""
import argparse
import os
import sys
import time
from collections import defaultdict
from pathlib import Path

import plover


def count_pages(path, password):
    """(page count, None) or (0, reason) for a document that does not open."""
    try:
        with plover.open(path, password=password) as doc:
            return doc.page_count, None
    except plover.Error as e:
        return 0, str(e)


def convert_pages(path, password, folder, first, last, fmt, dpi, skip_existing):
    """Pages first..last of a document into folder; returns (pages written, [(page, reason)])."""
    import warnings
    written, failures = 0, []
    try:
        doc = plover.open(path, password=password)
    except plover.Error as e:
        return 0, [(0, str(e))]
    os.makedirs(folder, exist_ok=True)
    with doc, warnings.catch_warnings():
        warnings.simplefilter("ignore", plover.RenderWarning)  # the page is written all the same
        for n in range(first, last + 1):
            target = os.path.join(folder, f"{n}.{fmt.upper()}")
            if skip_existing and os.path.exists(target):
                continue
            try:
                doc.save(n, target, format=fmt, dpi=dpi)
                written += 1
            except plover.PageError as e:
                failures.append((n, str(e).split(": ", 1)[-1]))
    return written, failures


def list_pdfs(source):
    """The PDFs under a folder (sorted), or the paths a list file names, one a line."""
    source = Path(source)
    if source.is_dir():
        return sorted(str(p) for p in source.rglob("*") if p.suffix.lower() == ".pdf" and p.is_file())
    with open(source, encoding="utf-8") as f:
        return [line.rstrip("\n") for line in f if line.strip()]


def folder_names(paths, output):
    """The output folder of each PDF, as plover-cli names them within one run."""
    taken, folders = set(), {}
    for path in paths:
        stem = plover.folder_name(os.path.basename(path))
        folder, k = os.path.join(output, stem), 1
        while folder in taken:
            k += 1
            folder = os.path.join(output, f"{stem} ({k})")
        taken.add(folder)
        folders[path] = folder
    return folders


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("source", metavar="FOLDER|LIST")
    p.add_argument("--output", required=True, metavar="DIR")
    p.add_argument("--workers", type=int, default=os.cpu_count(), help="LocalCluster worker processes")
    p.add_argument("--scheduler", help="address of a running scheduler, e.g. tcp://host:8786")
    p.add_argument("--format", default="png", choices=plover.formats)
    p.add_argument("--dpi", type=int, default=96)
    p.add_argument("--password", default=None)
    p.add_argument("--pages-per-task", type=int, default=16)
    p.add_argument("--retries", type=int, default=2)
    p.add_argument("--skip-existing", action="store_true", help="keep page files already there")
    a = p.parse_args()
    if a.workers < 1 or a.pages_per_task < 1 or not 1 <= a.dpi <= 2400:
        p.error("--workers and --pages-per-task take 1 or more, --dpi 1 to 2400")
    try:
        paths = [os.path.abspath(x) for x in list_pdfs(a.source)]
    except OSError as e:
        p.error(f"cannot read {a.source}: {e.strerror}")
    output = os.path.abspath(a.output)
    folders = folder_names(paths, output)

    from dask.distributed import Client, LocalCluster, as_completed
    cluster = None
    if a.scheduler:
        client = Client(a.scheduler)
    else:
        cluster = LocalCluster(n_workers=a.workers, threads_per_worker=1, processes=True, dashboard_address=None)
        client = Client(cluster)
    workers = len(client.scheduler_info()["workers"])
    start = time.monotonic()
    failures = defaultdict(list)  # path -> [reason, ...]
    pages_written = 0
    try:
        counts = {client.submit(count_pages, path, a.password, retries=a.retries, pure=False): path
                  for path in paths}
        tasks, unopened = {}, set()
        for future in as_completed(counts):
            path = counts[future]
            try:
                count, reason = future.result()
            except Exception as e:  # retries spent
                count, reason = 0, f"task failed: {e}"
            if reason:
                failures[path].append(reason)
                unopened.add(path)
            elif count == 0:
                failures[path].append("the document has no pages")
            for first in range(1, count + 1, a.pages_per_task):
                last = min(count, first + a.pages_per_task - 1)
                task = client.submit(convert_pages, path, a.password, folders[path], first, last, a.format, a.dpi,
                                     a.skip_existing, retries=a.retries, pure=False)
                tasks[task] = path
        for future in as_completed(tasks):
            path = tasks[future]
            try:
                written, page_failures = future.result()
            except Exception as e:  # retries spent
                failures[path].append(f"task failed: {e}")
                continue
            pages_written += written
            failures[path].extend(f"page {n}: {why}" if n else why for n, why in page_failures)
        elapsed = time.monotonic() - start
    finally:
        client.close()
        if cluster:
            cluster.close()

    for path in paths:
        for reason in failures.get(path, []):
            print(f"{path}: {reason}", file=sys.stderr)
        status = "Open failed(password?)" if path in unopened else "Failed" if failures.get(path) else "Complete"
        made = os.path.isdir(folders[path])
        print(f"{path}: {status}" + (f" -> {folders[path]}" if made else ""))
    failed = sum(1 for path in paths if failures.get(path))
    rate = pages_written / elapsed if elapsed > 0 else 0.0
    print(f"{len(paths)} files: {len(paths) - failed} complete, {failed} failed; {pages_written} pages in "
          f"{elapsed:.1f} s, {rate:.1f} pages per second on {workers} workers")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
