#!/usr/bin/env bash
# Pages per second of the batch recipes on one folder of PDFs, PNG at 96 dpi: the Dask example
# with 1 and 2 worker processes, the GNU parallel example with 2 jobs, and pdftoppm under GNU
# parallel with 2 jobs. Each run writes into a fresh folder.
#   bench/batch_recipes.sh PLOVER-CLI [FOLDER]
# Without FOLDER it makes one (demo vector pages, TeX-like text pages, the sample). The module
# `plover` must be importable by python3 (PYTHONPATH=build/test/python, or an installed venv:
# PYTHON=v/bin/python).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli=$(realpath "$1")
python=${PYTHON:-/usr/bin/python3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=${2:-}
if [ -z "$folder" ]; then
  folder="$work/in"
  mkdir -p "$folder"
  python3 "$root/scripts/make-demo-pdfs.py" "$folder" 10 >/dev/null
  python3 "$root/scripts/make-text-pdfs.py" "$folder" 20 >/dev/null
  for k in 1 2 3 4; do cp "$root/resources/sample.pdf" "$folder/sample-$k.pdf"; done
fi
pages=0
while IFS= read -r -d '' f; do
  pages=$((pages + $(pdfinfo "$f" | awk '/^Pages:/ {print $2}')))
done < <(find "$folder" -name '*.pdf' -print0)
echo "$(find "$folder" -name '*.pdf' | wc -l) files, $pages pages; load: $(uptime | sed 's/.*load/load/')"

rate() {  # label, seconds
  awk -v p="$pages" -v s="$2" -v l="$1" 'BEGIN { printf "%-28s %6.1f s %7.1f pages/s\n", l, s, p / s }'
}
# Wall time from start to end (a Dask run includes starting its cluster); the recipe's own
# summary line follows.
timed() {  # label, command...
  local label=$1 start end
  shift
  start=$(date +%s.%N)
  "$@" >"$work/log" 2>/dev/null || true
  end=$(date +%s.%N)
  rate "$label" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')"
  grep "pages per second" "$work/log" | sed 's/^/    /' || true
}
timed "dask, 1 worker" "$python" "$root/examples/dask_convert.py" --workers 1 --output "$work/dask1" "$folder"
timed "dask, 2 workers" "$python" "$root/examples/dask_convert.py" --workers 2 --output "$work/dask2" "$folder"
if "$cli" --help | grep -q -- --skip-existing; then
  PLOVER_CLI=$cli timed "GNU parallel recipe, 2 jobs" "$root/examples/parallel_convert.sh" --jobs 2 \
    --output "$work/par" -- --format png "$folder"
fi
# plover-cli under GNU parallel without the recipe, as pdftoppm runs below.
timed "plover-cli, GNU parallel -j2" bash -c "find '$folder' -name '*.pdf' | parallel -j2 '$cli' --jobs 1 --format png --output '$work/cli' {}"
pdftoppm_one() { mkdir -p "$2/$(basename "$1" .pdf)" && pdftoppm -png -r 96 "$1" "$2/$(basename "$1" .pdf)/page"; }
export -f pdftoppm_one
timed "pdftoppm, GNU parallel -j2" bash -c "find '$folder' -name '*.pdf' | parallel -j2 pdftoppm_one {} '$work/ppm'"
echo "load after: $(uptime | sed 's/.*load/load/')"
