#!/usr/bin/env bash
# run-under-wine.sh tells a program Wine never started apart from a test
# program that ran and failed, and changes neither's exit code.
# Usage: run_under_wine_test.sh TEST_PROGRAM (a Google Test program); needs WINEPREFIX.
set -uo pipefail
runner="$(dirname "$0")/../../scripts/run-under-wine.sh"
fail() { echo "run-under-wine: FAIL: $*"; exit 1; }
never="never ran a test"

out=$("$runner" "$(dirname "$1")/no-such-program.exe" 2>&1)
rc=$?
[ "$rc" -ne 0 ] || fail "a program that does not exist ended with 0"
[[ $out == *"$never"* ]] || fail "a program that never started is not named as such: $out"

# Google Test refuses a shard that does not exist, after its first line.
out=$(GTEST_SHARD_INDEX=5 GTEST_TOTAL_SHARDS=2 "$runner" "$1" 2>&1)
rc=$?
[ "$rc" -ne 0 ] || fail "a test program that failed ended with 0"
[[ $out != *"$never"* ]] || fail "a test program that ran and failed is taken for one that never started"

out=$("$runner" "$1" --gtest_filter=NoSuchTest 2>&1) || fail "a test program that passed did not end with 0: $out"
[[ $out != *"$never"* ]] || fail "a passing test program is taken for one that never started"
echo "run-under-wine: passed"
