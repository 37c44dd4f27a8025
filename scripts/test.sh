#!/usr/bin/env bash
# Builds Pakeno twice (plain, then with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs the whole suite in each build.
# Installs what the build and the tests need; the loopback servers the
# tests talk to are started and stopped by ctest itself.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
pakeno_install_missing "${PAKENO_BUILD_PACKAGES[@]}" "${PAKENO_RUN_PACKAGES[@]}" "${PAKENO_TEST_PACKAGES[@]}"

jobs=$(nproc)
status=0
run_suite() {
  local dir=$1; shift
  echo "== pakeno: building $dir"
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== pakeno: testing $dir"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600 | tee ctest-summary.log) || status=1
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPAKENO_SANITIZE=ON
# The fuzz targets, each for a bounded time (PAKENO_FUZZ_SECONDS, 30 by default).
run_suite build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DPAKENO_FUZZ=ON \
  -DPAKENO_BUILD_GUI=OFF -DPAKENO_FUZZ_SECONDS="${PAKENO_FUZZ_SECONDS:-30}"
echo "== pakeno: fuzzing, per target (executions, coverage)"
awk '/^[0-9]+\/[0-9]+ Testing: / {target=$3} /DONE   cov:/ {print "  " target ": " $0} /stat::number_of_executed_units/ {print "  " target ": " $0}' \
  build-fuzz/Testing/Temporary/LastTest.log || true

# One closing line over all three suites.
cat build/ctest-summary.log build-sanitize/ctest-summary.log build-fuzz/ctest-summary.log 2>/dev/null |
  awk '/tests failed out of/ {failed += $4; total += $NF} END {print "pakeno: " total - failed " passed, " failed " failed"}'
exit $status
