#!/usr/bin/env bash
# Converts a folder (or a list file) of PDFs into page images with GNU parallel and plover-cli.
#
#   parallel_convert.sh [--sshlogin HOSTS] [--jobs N] --output DIR [-- CLI-OPTIONS...] FOLDER|LIST
#
# Every PDF gets the folder plover-cli gives it under DIR (PDFs of the same name go to one
# plover-cli run, which names their folders "report", "report (2)", ... as a single run
# would). Jobs run on the cores of this machine, or on the hosts of --sshlogin (GNU parallel's
# list, e.g. ":,4/alice@node1,node2"; ":" is this machine), which need plover-cli on their
# PATH and DIR and the PDFs at the same paths (a shared file system). The run is resumable:
# page files already there are kept (plover-cli --skip-existing), so running the same command
# again after an interruption converts only what is missing. CLI-OPTIONS go to plover-cli
# (e.g. -- --format png --dpi 150). A summary ends the run: files, pages, failures with their
# reasons, pages per second. Exit status: 0 when every file completed, 1 when any failed,
# 2 for bad usage. PLOVER_CLI names the plover-cli to run.
set -euo pipefail
cli=${PLOVER_CLI:-plover-cli}
usage() {
  sed -n '4p' "$0" | sed 's/^#  *//' >&2
  exit 2
}
parallel_options=()
cli_options=()
output=
while [ $# -gt 0 ]; do
  case "$1" in
    --sshlogin|-S) [ $# -ge 2 ] || usage; parallel_options+=(--sshlogin "$2"); shift 2 ;;
    --jobs|-j) [ $# -ge 2 ] || usage; parallel_options+=(--jobs "$2"); shift 2 ;;
    --output|-o) [ $# -ge 2 ] || usage; output=$2; shift 2 ;;
    --help|-h) sed -n '2,/^$/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    --) shift; while [ $# -gt 1 ]; do cli_options+=("$1"); shift; done ;;
    -*) echo "parallel_convert.sh: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] && [ -n "$output" ] || usage
source=$1
[ -e "$source" ] || { echo "parallel_convert.sh: $source: no such file or folder" >&2; exit 2; }
command -v parallel >/dev/null || { echo "parallel_convert.sh: GNU parallel is not installed" >&2; exit 2; }
mkdir -p "$output"
output=$(cd "$output" && pwd)
results=$(mktemp)
trap 'rm -f "$results"' EXIT

# One record per folder name: the absolute paths of the PDFs that share it, tab-separated.
groups() {
  python3 - "$source" <<'PY'
import os, sys
source = sys.argv[1]
if os.path.isdir(source):
    paths = sorted(os.path.join(d, f) for d, _, files in os.walk(source) for f in files if f.lower().endswith(".pdf"))
else:
    with open(source, encoding="utf-8") as f:
        paths = [line.rstrip("\n") for line in f if line.strip()]
groups = {}
for path in paths:
    name = os.path.basename(path)
    groups.setdefault(name.rsplit(".", 1)[0] if "." in name else name, []).append(os.path.abspath(path))
sys.stdout.write("".join("\t".join(g) + "\0" for g in groups.values()))
PY
}

start=$(date +%s.%N)
status=0
# GNU parallel runs a process per core: each plover-cli draws with one worker.
groups | parallel -0 -q --colsep '\t' "${parallel_options[@]}" \
  "$cli" --json --skip-existing --jobs 1 --output "$output" "${cli_options[@]}" -- {} >"$results" || status=$?
end=$(date +%s.%N)

# The summary, from plover-cli's JSON lines.
python3 - "$results" "$start" "$end" <<'PY' || status=1
import json, sys
results, start, end = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
files = failed = written = kept = 0
with open(results, encoding="utf-8") as f:
    for line in f:
        if not line.strip():
            continue
        r = json.loads(line)
        files += 1
        written += len(r.get("written", []))
        kept += len(r.get("kept", []))
        done = r["status"] in ("complete", "Complete")
        print(f"{r['path']}: {r['status']}" + (f" -> {r['output']}" if r.get("output") else ""))
        if not done:
            failed += 1
            for reason in ([r["reason"]] if r.get("reason") else []) + [e for e in r.get("errors", []) if e != r.get("reason")]:
                print(f"{r['path']}: {reason}", file=sys.stderr)
elapsed = max(end - start, 1e-9)
print(f"{files} files: {files - failed} complete, {failed} failed; {written} pages in {elapsed:.1f} s, "
      f"{written / elapsed:.1f} pages per second" + (f"; {kept} pages already there were kept" if kept else ""))
sys.exit(1 if failed else 0)
PY
[ "$status" -eq 0 ] || exit 1
