#!/usr/bin/env bash
# Checks the sources' form, then builds Pakeno twice (plain, then with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs the whole suite
# in each build, then the fuzz targets for a bounded time. Installs what the
# build and the tests need; the loopback servers the tests talk to are
# started and stopped by ctest itself. Ends with one line counting every suite.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/deps.sh
source scripts/deps.sh
pakeno_install_missing "${PAKENO_BUILD_PACKAGES[@]}" "${PAKENO_RUN_PACKAGES[@]}" "${PAKENO_TEST_PACKAGES[@]}" \
  "${PAKENO_WINDOWS_PACKAGES[@]}"

jobs=$(nproc)
status=0

echo "== pakeno: checking the sources' form (clang-format, shellcheck)"
if scripts/check_form.sh; then
  echo "form: 1 passed, 0 failed" | tee build-form.log
else
  echo "form: 0 passed, 1 failed" | tee build-form.log
  status=1
fi

run_suite() {  # DIR [CMAKE ARGUMENTS...]
  local dir=$1
  shift
  echo "== pakeno: building $dir"
  # A suite that does not build has no count, and so fails; the others still run.
  if ! { pakeno_configure_suite "$dir" "$@" && cmake --build "$dir" -j "$jobs"; }; then
    status=1
    return 0
  fi
  echo "== pakeno: testing $dir"
  # A suite that finds no test fails: a run that tested nothing passed nothing.
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j "$jobs" --timeout 600 | tee ctest-summary.log) || status=1
}

rm -f build/ctest-summary.log build-sanitize/ctest-summary.log build-fuzz/ctest-summary.log build-win64/ctest-summary.log
mkdir -p build-win64
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPAKENO_SANITIZE=ON
# The fuzz targets, each for a bounded time (PAKENO_FUZZ_SECONDS, 30 by default).
run_suite build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DPAKENO_FUZZ=ON \
  -DPAKENO_BUILD_GUI=OFF -DPAKENO_FUZZ_SECONDS="${PAKENO_FUZZ_SECONDS:-30}"
# The Windows build, cross-built and tested under Wine.
echo "== pakeno: building and testing build-win64 (MinGW-w64, Wine)"
windows_start=$SECONDS
scripts/build-windows.sh build-win64 | tee build-win64/ctest-summary.log || status=1
echo "pakeno: the Windows stage took $((SECONDS - windows_start)) s"
echo "== pakeno: fuzzing, per target (executions, coverage)"
awk '/^[0-9]+\/[0-9]+ Testing: / {target=$3} /DONE   cov:/ {print "  " target ": " $0} /stat::number_of_executed_units/ {print "  " target ": " $0}' \
  build-fuzz/Testing/Temporary/LastTest.log || true

# One closing line over every suite; a suite without its count is a failure.
passed=0
failed=0
for dir in build build-sanitize build-fuzz build-win64; do
  line=$(grep -h "tests failed out of" "$dir/ctest-summary.log" 2>/dev/null | tail -n1 || true)
  if [ -z "$line" ]; then
    echo "pakeno: $dir reported no count"
    failed=$((failed + 1))
    status=1
    continue
  fi
  total=$(awk '{print $NF}' <<<"$line")
  bad=$(awk '{print $4}' <<<"$line")
  case $dir in
    build-win64) what="Windows, WinINet under Wine" ;;
    build-fuzz) what="fuzz targets" ;;
    *) what="Linux, libcurl" ;;
  esac
  echo "pakeno: $dir ($what): $((total - bad)) passed, $bad failed"
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
grep -q "form: 1 passed" build-form.log && passed=$((passed + 1)) || failed=$((failed + 1))
echo "pakeno: $passed passed, $failed failed"
exit $status
