#!/usr/bin/env bash
# Sets up, builds and runs every test: once in the normal build, once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd build && ctest --output-on-failure -j "$(nproc)")
# cmake --install into a temporary prefix, and the installed programs run from there.
bash scripts/install-check.sh build
# The real application under Xvfb, driven with xdotool.
bash scripts/e2e.sh
# Saves, exports and movies on a full and a read-only file system (skipped where it cannot mount).
bash scripts/faults.sh build
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIVANE_SANITIZE=ON
# A minute of random input into the sanitized application.
bash scripts/soak.sh 60
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j "$(nproc)")
