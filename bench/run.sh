#!/usr/bin/env bash
# Builds an optimised tivane-run and runs the benchmark table against Lua 5.4 and Python 3.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --bench
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DTIVANE_CHECKS=OFF -DTIVANE_BUILD_TESTS=OFF
python3 bench/run.py "$@"
