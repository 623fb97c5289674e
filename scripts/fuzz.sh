#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs one of them.
#   scripts/fuzz.sh TARGET [SECONDS] [extra libFuzzer flags and seed folders]
# New inputs are written to build/fuzz/corpus/TARGET, always the first folder libFuzzer is
# given: extra folders are read as seeds only.
# Crashing inputs land in fuzz/crashes/; turn each into a regression test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"
target="$1"; seconds="${2:-300}"; shift || true; shift || true
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPLOVER_BUILD_FUZZERS=ON -DPLOVER_BUILD_TESTS=OFF -DPLOVER_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target "$target" -j2 >/dev/null
corpus="$build/corpus/$target"
mkdir -p "$corpus" "$root/fuzz/crashes"
seeds="$root/fuzz/seeds/${target#fuzz_}"
[ -d "$seeds" ] || seeds=""
flags=(); folders=()
for arg in "$@"; do
  if [[ "$arg" == -* ]]; then flags+=("$arg"); else folders+=("$arg"); fi
done
# fontconfig keeps what its one-time set-up allocates until the process ends.
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
"$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -artifact_prefix="$root/fuzz/crashes/$target-" "${flags[@]}" "$corpus" $seeds "${folders[@]}"
