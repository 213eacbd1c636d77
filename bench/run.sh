#!/usr/bin/env bash
# Builds the benchmarks in release mode and prints each one's ratio against its yardstick.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
build=${BUILD_DIR:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
xvfb-run -a -s "-screen 0 1920x1080x24" python3 bench/startup.py "$build" "${RUNS:-15}"
# UPLOAD_RUNS and ENUM_RUNS set the number of alternating runs of the two USB benchmarks.
for b in "$build"/bench/bench_*; do
  # The glob also matches the build's *_autogen directories.
  if [ -f "$b" ] && [ -x "$b" ]; then "$b"; fi
done
