#!/usr/bin/env bash
# Builds an optimised tivane-run as bench/run.sh does (same build directory) and times the
# document drawing.tvd, whose graphics view draws 200,000 segments, against baseline.tvd,
# the same computation without drawing calls (and empty.tvd, which only opens and runs).
# Options go to measure.py: --runs N (default 5), --tivane PATH.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/setup.sh --bench
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DTIVANE_CHECKS=OFF -DTIVANE_BUILD_TESTS=OFF
python3 bench/drawing/measure.py "$@"
