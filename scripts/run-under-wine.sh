#!/usr/bin/env bash
# Runs one Windows test program under Wine, in the prefix WINEPREFIX names;
# ctest starts every Windows test through it. A test program that runs
# writes Google Test's lines to standard output before any test: one that
# ended in failure without a byte there never ran a test, and is reported
# as such, so a Wine that failed to start it is not taken for a failed test.
set -u
# shellcheck source=scripts/wine.sh
source "$(dirname "$0")/wine.sh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
WINEDEBUG=${WINEDEBUG:--all} "${pakeno_fixed_layout[@]}" wine "$@" >"$out"
rc=$?
cat "$out"
if [ "$rc" -ne 0 ] && [ ! -s "$out" ]; then
  echo "run-under-wine: $1 never ran a test: Wine ended with code $rc before the program wrote anything (it did not start, or died before main); this is not a test's result" >&2
fi
exit "$rc"
