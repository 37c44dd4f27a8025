#!/usr/bin/env bash
# The README's two commands work in either order on one checkout: the tool
# built and started, then the suite configured, then the tool started again.
# In a copy of the checkout, so this build is left alone; the tool starts
# offscreen in a loopback-only network namespace and is stopped once it runs.
# (The whole test command is not run here: it runs this test.)
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=scripts/xvfb.sh
source scripts/xvfb.sh
pakeno_scratch
fail() { echo "either order: FAIL: $*"; exit 1; }
pakeno_offline true || { echo "either order: skipped: no loopback-only network namespace (root, user namespaces or sudo)"; exit 0; }
git ls-files -z | xargs -0 cp --parents -t "$work"
cd "$work"
# shellcheck source=scripts/deps.sh
source scripts/deps.sh

# scripts/start.sh, until the tool it execs has run for a second.
start_tool() {
  QT_QPA_PLATFORM=offscreen pakeno_offline scripts/start.sh >"$work/start.log" 2>&1 &
  app_pid=$!
  for _ in $(seq 1200); do
    kill -0 "$app_pid" 2>/dev/null || { cat "$work/start.log"; fail "start.sh ended: $1"; }
    pgrep -f "^$work/build-tool/src/app/pakeno|^./build-tool/src/app/pakeno" >/dev/null && break
    sleep 0.5
  done
  sleep 1
  pgrep -f "build-tool/src/app/pakeno" >/dev/null || { cat "$work/start.log"; fail "the tool did not run: $1"; }
  pkill -f "build-tool/src/app/pakeno" || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
}

start_tool "on a fresh checkout"
pakeno_configure_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
count=$(cd build && ctest -N | awk '/Total Tests:/ {print $3}')
[ "${count:-0}" -gt 0 ] || fail "the suite configured after the tool has no tests"
grep -q '^PAKENO_BUILD_TESTS:BOOL=OFF$' build-tool/CMakeCache.txt || fail "the suite's configuration changed the tool's"
start_tool "after the suite's configuration"
echo "either order: passed (tool, suite with $count tests configured, tool again)"
