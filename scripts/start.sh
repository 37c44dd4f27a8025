#!/usr/bin/env bash
# Builds Pakeno (installing what the build needs) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/deps.sh
source scripts/deps.sh
pakeno_install_missing "${PAKENO_BUILD_PACKAGES[@]}" "${PAKENO_RUN_PACKAGES[@]}"
pakeno_configure_tool build-tool
cmake --build build-tool --target pakeno
exec ./build-tool/src/app/pakeno
