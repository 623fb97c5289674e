#!/usr/bin/env bash
# Builds the engine, plover-cli and the tests under ThreadSanitizer (build/tsan) and runs them:
# the unit tests (conversions with several workers among them) and ParallelCorpusTsan, which
# converts the corpus with one and with four workers and compares the outputs. Any data race
# ends the test that met it (halt_on_error) with status 66.
#   scripts/tsan.sh              every test
#   scripts/tsan.sh -R Parallel  a subset (any ctest arguments)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/tsan"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Tsan -DPLOVER_BUILD_GUI=OFF -DPLOVER_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target plover-cli kestrel_tests >"$build/build.log" 2>&1 ||
  { grep -E "error|Error" "$build/build.log" | head -40; exit 1; }
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 suppressions=$root/scripts/tsan.supp ${TSAN_OPTIONS:-}"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 3600 -LE interop "$@"
