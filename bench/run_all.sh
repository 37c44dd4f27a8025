#!/usr/bin/env bash
# Every benchmark of the project in one go, as one table of ratios, each
# against its reference measured in the same run.
# Usage: bench/run_all.sh [BUILD_DIR]   (a plain, non-sanitized build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target fetch_bench cookie_bench display_bench bare_window pakeno >/dev/null
echo "Measured $(date -u +%Y-%m-%d) on $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(. /etc/os-release && echo "$PRETTY_NAME")"
echo
echo "| measure | value | reference | ratio |"
echo "|---|---|---|---|"
"$build/bench/fetch_bench" --rows
"$build/bench/cookie_bench" --rows
QT_QPA_PLATFORM=offscreen "$build/bench/display_bench" 2>/dev/null
for shape in one-line lines; do QT_QPA_PLATFORM=offscreen "$build/bench/display_bench" --memory $shape 2>/dev/null; done
QT_QPA_PLATFORM=offscreen "$build/bench/display_bench" --address-paste 2>/dev/null
bench/startup_bench.sh "$build" 10 --rows
# The Windows build's transport, when it has been cross-built (scripts/build-windows.sh).
if [ -x build-win64/bench/wininet_bench.exe ]; then
  WINEDEBUG=-all WINEPREFIX="$PWD/build-win64/wine-prefix" wine build-win64/bench/wininet_bench.exe --rows
  # The Win32 window under Wine: its start, and a body in its return box.
  bench/startup_bench.sh build-win64 20 --rows
  (
    # shellcheck source=scripts/xvfb.sh
    source scripts/xvfb.sh
    # shellcheck source=scripts/wine.sh
    source scripts/wine.sh
    pakeno_scratch
    trap 'pakeno_wine_stop; pakeno_clean_up' EXIT
    pakeno_start_xvfb
    pakeno_wine_prefix "$PWD/build-win64/wine-prefix-bench"
    WINEDEBUG=-all wine build-win64/bench/win32_box_bench.exe --rows
  )
fi
