#!/usr/bin/env bash
# Builds Plover's Debian package from a fresh Release build of the install rules and checks it:
#   scripts/build-deb.sh [OUTDIR]     -> OUTDIR/plover_VERSION_ARCH.deb (default build/package)
# Its contents are listed and lintian's findings printed (lintian is installed if missing).
# Install it with `sudo apt install ./build/package/plover_*.deb`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/package}"
"$root/scripts/install-deps.sh"
"$root/scripts/install-deps.sh" "$root/scripts/debian-packages-gui.txt"
"$root/scripts/install-deps.sh" "$root/scripts/debian-packages-package.txt"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPLOVER_BUILD_GUI=ON \
      -DPLOVER_BUILD_TESTS=OFF -DPLOVER_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)" >"$build/build.log" 2>&1 ||
  { grep -E "error|Error" "$build/build.log" | head -40; exit 1; }
rm -f "$build"/plover_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/plover_*.deb)"
echo "$deb"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
if ! command -v lintian >/dev/null; then
  apt-get install -y -qq --no-install-recommends lintian >/dev/null 2>&1 || true
fi
if command -v lintian >/dev/null; then
  echo "lintian:"
  lintian --tag-display-limit 0 "$deb" || true
fi
