#!/usr/bin/env bash
# Longer fuzzing runs than the test command's: bench/fuzz.sh [SECONDS] (default 600 each).
# New crashers land in fuzz/crashers/; add each one to fuzz/corpus/<harness>/ once fixed,
# so that every later run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
seconds=${1:-600}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCARDTOOL_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
mkdir -p fuzz/crashers
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
for harness in fuzz_printerentry fuzz_templatecheck; do
  echo "=== $harness, ${seconds}s"
  corpus=build-fuzz/fuzz/corpus_$harness
  mkdir -p "$corpus"
  build-fuzz/fuzz/$harness -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix=fuzz/crashers/$harness- \
    "$corpus" "fuzz/corpus/$harness"
done
