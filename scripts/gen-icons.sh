#!/usr/bin/env bash
# Renders the program's icon (resources/desktop/icons/plover.svg) to the PNG sizes the desktop
# icon theme wants. The PNGs are kept in the repository so that building needs no SVG renderer;
# run this after changing the SVG (needs rsvg-convert, Debian package librsvg2-bin).
set -euo pipefail
dir="$(cd "$(dirname "$0")/.." && pwd)/resources/desktop/icons"
mkdir -p "$dir/png"
for size in 16 24 32 48 64 128 256 512; do
  rsvg-convert -w "$size" -h "$size" "$dir/plover.svg" -o "$dir/png/plover-$size.png"
done
