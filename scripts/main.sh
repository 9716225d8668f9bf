#!/usr/bin/env bash
# Sets up, builds and runs the bundled example model.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
./build/tivane-run examples/pendulum/main.prg
