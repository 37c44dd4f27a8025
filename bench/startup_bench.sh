#!/usr/bin/env bash
# Cold start to the window on the screen, under Xvfb, against a bare Qt
# window started the same way in the same run; and idle RSS after start.
# Both run in a network namespace of their own with loopback only (unshare -n,
# as root): the default build's probe names a public site, and nothing a
# benchmark starts may reach beyond this machine. That is also what an
# offline start is.
# The Windows build (a BUILD_DIR cross-built by scripts/build-windows.sh) is
# measured the same way under Wine, against a bare Win32 window under Wine.
# Usage: bench/startup_bench.sh [BUILD_DIR] [RUNS] [--rows]
# --rows prints markdown table rows (measure | value | reference | ratio).
set -euo pipefail
build=${1:-build}
runs=${2:-10}
rows=${3:-}
# shellcheck source=scripts/xvfb.sh
source "$(dirname "$0")/../scripts/xvfb.sh"
pakeno_scratch
pakeno_start_xvfb
pakeno_offline true || { echo "startup_bench.sh needs a loopback-only network namespace: root, user namespaces or sudo" >&2; exit 1; }
version=$(sed -n 's/.*kVersion\[\] = "\(.*\)";/\1/p' "$build/generated/base/version.h")
bare=$build/bench/bare_window bare_title="Bare Qt window" program=$build/src/app/pakeno reference="bare Qt window"
runner=()
if [ -e "$build/src/app_win32/pakeno.exe" ]; then
  # The program as it is shipped: stripped, in the zip.
  bare=$build/bench/bare_window_win32.exe bare_title="Bare Win32 window"
  program=$(ls "$build"/package/pakeno-*-win64/pakeno.exe)
  reference="bare Win32 window under Wine"
  runner=(env WINEDEBUG=-all wine)
  # shellcheck source=scripts/wine.sh
  source "$(dirname "$0")/../scripts/wine.sh"
  trap 'pakeno_wine_stop; pakeno_clean_up' EXIT
  pakeno_wine_prefix "$(cd "$build" && pwd)/wine-prefix-bench"
fi
for binary in "$bare" "$program"; do
  [ -x "$binary" ] || { echo "missing $binary: build it first (cmake --build $build)" >&2; exit 1; }
done

# Milliseconds from exec to a visible window with this title, in $elapsed;
# the process that owns the window in $owner, and the one started in $pid
# (the namespace's wrapper, or Wine's loader, may stand between them).
start_once() {
  local binary=$1 title=$2 t0 t1 wid=""
  t0=$(date +%s%N)
  pakeno_offline "${runner[@]}" "$binary" >/dev/null 2>"$work/stderr" &
  pid=$!
  until wid=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1) && [ -n "$wid" ]; do
    kill -0 "$pid" 2>/dev/null || { echo "$binary did not start:" >&2; cat "$work/stderr" "$work/xvfb.log" >&2; exit 1; }
  done
  t1=$(date +%s%N)
  elapsed=$(( (t1 - t0) / 1000000 ))
  # What is weighed and stopped must be the program itself: the window's
  # owner, started from this binary.
  owner=$(xdotool getwindowpid "$wid" 2>/dev/null || true)
  if [ -z "$owner" ] || ! tr '\0' ' ' <"/proc/$owner/cmdline" 2>/dev/null | grep -qF "$(basename "$binary")"; then
    echo "startup_bench.sh: the window '$title' is not owned by a process of $binary (owner: ${owner:-unknown})" >&2
    exit 1
  fi
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
calc() { awk "BEGIN {print $1}"; }

measure() {  # binary title -> $median_ms, $idle_rss (KiB); no subshell, so the X server's trap stays put
  local times=() rss=""
  for _ in $(seq "$runs"); do
    start_once "$1" "$2"
    times+=("$elapsed")
    if [ -z "$rss" ]; then sleep 1; rss=$(awk '/VmRSS/ {print $2}' "/proc/$owner/status"); fi
    kill "$owner" "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    # A window outlives its process for a moment (under Wine, until the
    # wineserver has seen it go): the next start must not find it.
    for _ in $(seq 100); do xdotool search --onlyvisible --name "$2" >/dev/null 2>&1 || break; sleep 0.05; done
  done
  median_ms=$(printf '%s\n' "${times[@]}" | median)
  idle_rss=$rss
}

measure "$bare" "$bare_title"
bare_ms=$median_ms bare_rss=$idle_rss
measure "$program" "Pakeno $version"
pakeno_ms=$median_ms pakeno_rss=$idle_rss
if [ "$rows" = --rows ]; then
  printf '| cold start to the window (median of %s) | %s ms | %s %s ms | %.2fx |\n' \
    "$runs" "$pakeno_ms" "$reference" "$bare_ms" "$(calc "$pakeno_ms / $bare_ms")"
  printf '| idle RSS after start | %.1f MiB | %s %.1f MiB | %.2fx |\n' \
    "$(calc "$pakeno_rss / 1024")" "$reference" "$(calc "$bare_rss / 1024")" "$(calc "$pakeno_rss / $bare_rss")"
  exit 0
fi
printf '%-28s %10s %10s\n' "start-up (median of $runs)" "ms" "ratio"
printf '%-28s %10s %10s\n' "$reference" "$bare_ms" "1.00x"
printf '%-28s %10s %9.2fx\n' "pakeno" "$pakeno_ms" "$(calc "$pakeno_ms / $bare_ms")"
printf '%-28s %10s %10s\n' "idle RSS" "MiB" "ratio"
printf '%-28s %10.1f %10s\n' "$reference" "$(calc "$bare_rss / 1024")" "1.00x"
printf '%-28s %10.1f %9.2fx\n' "pakeno" "$(calc "$pakeno_rss / 1024")" "$(calc "$pakeno_rss / $bare_rss")"
