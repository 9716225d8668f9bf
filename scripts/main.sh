#!/usr/bin/env bash
# Sets up, builds and runs the bundled example model: in the application when there is a
# display, else headless, with its pictures written to out/pendulum/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
doc=examples/pendulum/pendulum.tvd
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting Tivane on $doc: choose File > Execute (Ctrl+E) to run the model."
  exec ./build/tivane "$doc"
fi
echo "No display: running $doc headless."
./build/tivane-run "$doc" --export out/pendulum
echo "The windows' texts and pictures are in out/pendulum/ (view1.png is the phase plot)."
