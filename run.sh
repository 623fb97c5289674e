#!/usr/bin/env bash
# Installs what is missing, builds Plover in Release and runs it.
#   ./run.sh                 converts the bundled sample PDF and prints where the images went
#   ./run.sh ARGS...         runs plover-cli with ARGS (see ./run.sh --help)
#   ./run.sh --gui           opens the window
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
build="$root/build/release"
gui=OFF
[ "${1:-}" = "--gui" ] && gui=ON
"$root/scripts/install-deps.sh"
[ "$gui" = ON ] && "$root/scripts/install-deps.sh" "$root/scripts/debian-packages-gui.txt"
if [ ! -f "$build/CMakeCache.txt" ] || [ "$gui" = ON ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPLOVER_BUILD_TESTS=OFF \
        -DPLOVER_BUILD_BENCH=OFF -DPLOVER_BUILD_GUI=$gui >/dev/null
fi
log="$build/build.log"
if ! cmake --build "$build" -j"$(nproc)" >"$log" 2>&1; then
  grep -E "error|Error" "$log" | head -40
  exit 1
fi
if [ "$gui" = ON ]; then
  shift
  exec "$build/app/plover" "$@"
fi
if [ $# -gt 0 ]; then
  exec "$build/cli/plover-cli" "$@"
fi
out="${TMPDIR:-/tmp}/plover-sample"
mkdir -p "$out"
"$build/cli/plover-cli" --info "$root/resources/sample.pdf"
"$build/cli/plover-cli" --format png --output "$out" "$root/resources/sample.pdf" || true
echo "Images of the sample are in $out/sample/:"
ls -1 "$out/sample/" 2>/dev/null | sed "s|^|  $out/sample/|"
