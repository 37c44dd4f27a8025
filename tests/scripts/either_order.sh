#!/usr/bin/env bash
# The README's two commands work in either order: the tool's configuration
# followed by the suite's, in one folder, still gives a build with the whole
# suite; and the tool keeps a folder of its own.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=scripts/deps.sh
source scripts/deps.sh
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "either order: FAIL: $*"; exit 1; }

pakeno_configure_tool "$dir"
grep -q '^PAKENO_BUILD_TESTS:BOOL=OFF$' "$dir/CMakeCache.txt" || fail "the tool's configuration builds tests"
pakeno_configure_suite "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
grep -q '^PAKENO_BUILD_TESTS:BOOL=ON$' "$dir/CMakeCache.txt" || fail "the suite's configuration kept the tests off"
count=$(cd "$dir" && ctest -N | awk '/Total Tests:/ {print $3}')
[ "${count:-0}" -gt 0 ] || fail "the suite's configuration has no tests"

grep -q 'pakeno_configure_tool build-tool' scripts/start.sh || fail "start.sh does not use a folder of its own"
grep -q 'build-tool' scripts/test.sh && fail "test.sh touches the tool's folder"
echo "either order: passed ($count tests configured before the build discovers the rest)"
