#!/usr/bin/env bash
# The sources' form: C++ as .clang-format says, shell scripts clean by shellcheck.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
mapfile -t cpp < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'fuzz/*.cpp')
clang-format --dry-run --Werror "${cpp[@]}" || status=1
mapfile -t shell < <(git ls-files 'scripts/*.sh' 'tests/*.sh' 'bench/*.sh' '.ci/run')
shellcheck -x "${shell[@]}" || status=1
exit $status
