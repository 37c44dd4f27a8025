#!/usr/bin/env bash
# The sources' form: C++ as .clang-format says, shell scripts clean by shellcheck.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
mapfile -t cpp < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'fuzz/*.cpp')
# .clang-format was written for clang-format 14 (Debian 12); other versions
# lay out some constructs differently, so the C++ form is checked with 14 only.
if clang-format --version | grep -q 'version 14\.'; then
  clang-format --dry-run --Werror "${cpp[@]}" || status=1
else
  echo "form: C++ not checked: $(clang-format --version | head -n1) is not clang-format 14, the version .clang-format is for"
fi
mapfile -t shell < <(git ls-files 'scripts/*.sh' 'tests/*.sh' 'bench/*.sh' '.ci/run')
shellcheck -x "${shell[@]}" || status=1
exit $status
