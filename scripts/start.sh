#!/usr/bin/env bash
# Builds Pakeno (installing what the build needs) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
pakeno_install_missing "${PAKENO_BUILD_PACKAGES[@]}" "${PAKENO_RUN_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAKENO_BUILD_TESTS=OFF >/dev/null
cmake --build build --target pakeno
exec ./build/src/app/pakeno
