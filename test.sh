#!/usr/bin/env bash
# Installs what is missing, builds everything (the window too) with the tests and runs them
# through CTest; the window's tests run on Qt's offscreen platform, and the "interop" tests hand
# the files we write to LibreOffice, libwmf, Ghostscript and PIL; the "install" test installs
# into a scratch folder, and the Debian package is built and listed; the "python" tests check
# the Python module (built when pybind11 is there) and the batch recipes in examples/.
#   ./test.sh              Release build, all tests
#   ./test.sh --sanitize   the same under AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
type=Release
build="$root/build/test"
python=ON
if [ "${1:-}" = "--sanitize" ]; then
  type=Sanitize
  build="$root/build/sanitize"
  python=OFF  # an ASan module cannot load into the uninstrumented interpreter
fi
"$root/scripts/install-deps.sh"
"$root/scripts/install-deps.sh" "$root/scripts/debian-packages-gui.txt"
"$root/scripts/install-deps.sh" "$root/scripts/debian-packages-interop.txt"
"$root/scripts/install-deps.sh" "$root/scripts/debian-packages-package.txt"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=$type -DPLOVER_BUILD_GUI=ON -DPLOVER_BUILD_PYTHON=$python >/dev/null
log="$build/build.log"
if ! cmake --build "$build" -j"$(nproc)" >"$log" 2>&1; then
  grep -E "error|Error" "$log" | head -40
  exit 1
fi
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 900
# The Debian package made from the same install rules (scripts/build-deb.sh makes one from a
# fresh build and runs lintian); its contents go to the log.
if [ "$type" = Release ]; then
  rm -f plover_*.deb
  cpack -G DEB >/dev/null
  dpkg-deb --contents plover_*.deb
fi
