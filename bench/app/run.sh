#!/usr/bin/env bash
# The application against the headless runner: the language benchmarks run as documents, the
# 200,000-segment drawing document, and the time to the first painted window. Builds the same
# optimised binaries as bench/run.sh and runs the application under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/setup.sh --bench
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DTIVANE_CHECKS=OFF -DTIVANE_BUILD_TESTS=OFF
display=:$((80 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display python3 bench/app/measure.py "$@"
