#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite: the plain build, the same
# suite under AddressSanitizer + UndefinedBehaviorSanitizer, and the fuzzers for a bounded time.
# CARDTOOL_STAGES picks stages (default "plain sanitize fuzz").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
stages=${CARDTOOL_STAGES:-plain sanitize fuzz}
jobs=$(nproc)
supp="$PWD/tests/sanitizers"

for stage in $stages; do
  echo "=== $stage ==="
  case "$stage" in
    plain)
      cmake -S . -B build -DBUILD_TESTING=ON
      cmake --build build -j"$jobs"
      ctest --test-dir build --output-on-failure -j"$jobs"
      ;;
    sanitize)
      cmake -S . -B build-asan -DBUILD_TESTING=ON -DCARDTOOL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
      cmake --build build-asan -j"$jobs"
      # allocator_may_return_null: the upload refuses a firmware too large to hold in memory
      # by catching the failed allocation, which ASan would otherwise turn into an abort.
      ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:allocator_may_return_null=1" \
      LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0" \
      UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp" \
        ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE no-sanitize
      ;;
    fuzz)
      CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCARDTOOL_FUZZ=ON
      cmake --build build-fuzz -j"$jobs"
      ASAN_OPTIONS="detect_leaks=1" LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0" \
        ctest --test-dir build-fuzz --output-on-failure
      ;;
    *) echo "unknown stage '$stage'" >&2; exit 2 ;;
  esac
done
