#!/usr/bin/env bash
# package.sh [BUILD_DIR]: builds the programs without tests and makes the Debian package
# tivane_VERSION_ARCH.deb with CPack in BUILD_DIR (default build-package). Its dependencies
# come from dpkg-shlibdeps. Install it with: apt-get install ./BUILD_DIR/tivane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
bash scripts/setup.sh
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIVANE_BUILD_TESTS=OFF
fi
cmake --build "$dir" -j "$(nproc)"
(cd "$dir" && cpack -G DEB)
ls "$dir"/tivane_*.deb
