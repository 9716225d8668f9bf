#!/usr/bin/env bash
# Builds the optimised benchmarks into build-release (as bench/run.sh does, with
# TIVANE_BUILD_BENCH on) and runs framecost: the cost of one movie frame of an 800 x 600
# graphics view against the encoder alone on the same frames (goal: a ratio of at most 1.2),
# and the times of a 4000 x 3000 BMP and PNG export of a busy picture.
# Options go to framecost: --frames N (default 250), --rounds R (default 3).
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/setup.sh
options=(-DCMAKE_BUILD_TYPE=Release -DTIVANE_CHECKS=OFF -DTIVANE_BUILD_TESTS=OFF
  -DTIVANE_BUILD_BENCH=ON)
# build.sh configures a directory only once: one made before the option existed gets it here.
if [ -f build-release/CMakeCache.txt ] &&
  ! grep -q '^TIVANE_BUILD_BENCH:BOOL=ON$' build-release/CMakeCache.txt; then
  cmake -S . -B build-release -DTIVANE_BUILD_BENCH=ON
fi
bash scripts/build.sh build-release "${options[@]}"
# Timings move with whatever else runs; the load beside them says how much did.
echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
QT_QPA_PLATFORM=offscreen build-release/tivane_bench_framecost "$@"
echo "load average after the run:  $(cut -d' ' -f1-3 /proc/loadavg)"
