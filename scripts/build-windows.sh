#!/usr/bin/env bash
# Cross-builds the Windows (64-bit) build with MinGW-w64 into build-win64/,
# self-contained (static libstdc++, libgcc and winpthread), and runs its
# tests under Wine through ctest: the same test sources as on Linux, against
# the WinINet transport, and the peers (nginx, tinyproxy, PHP) started on the
# Linux side. Installs what it needs. The window's tests and the end-to-end run
# use an Xvfb display of their own.
# Usage: scripts/build-windows.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win64}
# shellcheck source=scripts/deps.sh
source scripts/deps.sh
pakeno_install_missing "${PAKENO_WINDOWS_PACKAGES[@]}" "${PAKENO_PEER_PACKAGES[@]}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPAKENO_BUILD_GUI=ON -DPAKENO_BUILD_TESTS=ON >/dev/null
cmake --build "$dir" -j "$(nproc)"
# The window's tests need a display, which Wine's prefix takes at its start.
# shellcheck source=scripts/xvfb.sh
source scripts/xvfb.sh
# shellcheck source=scripts/wine.sh
source scripts/wine.sh
pakeno_scratch
trap 'pakeno_wine_stop; pakeno_clean_up' EXIT
pakeno_start_xvfb
pakeno_wine_prefix "$(cd "$dir" && pwd)/wine-prefix"
# A suite that finds no test fails: a run that tested nothing passed nothing.
cd "$dir" && ctest --output-on-failure --no-tests=error -j "$(nproc)" --timeout 600
