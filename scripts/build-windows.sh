#!/usr/bin/env bash
# Cross-builds the Windows (64-bit) build with MinGW-w64 into build-win64/,
# self-contained (static libstdc++, libgcc and winpthread), and runs its
# tests under Wine through ctest: the same test sources as on Linux, against
# the WinINet transport, and the peers (nginx, tinyproxy, PHP) started on the
# Linux side. Installs what it needs. So far the Windows build is everything
# but the window.
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
# One wineserver for the whole run, kept up between tests (a Wine that starts
# just as an idle wineserver exits loses its connection to it), and the
# prefix made, with Wine's own services started, before the tests run side
# by side: a Wine started while another still sets the prefix up may fail at
# once, and services started by a test would hold its output open.
prefix="$(cd "$dir" && pwd)/wine-prefix"
export WINEPREFIX=$prefix
WINEDEBUG=-all wineboot --init >/dev/null 2>&1 </dev/null
wineserver --wait
wineserver --persistent
trap 'wineserver --kill' EXIT
WINEDEBUG=-all wineboot >/dev/null 2>&1 </dev/null
# A suite that finds no test fails: a run that tested nothing passed nothing.
cd "$dir" && ctest --output-on-failure --no-tests=error -j "$(nproc)" --timeout 600
