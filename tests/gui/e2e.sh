#!/usr/bin/env bash
# End to end, as a user would: the real binary in a real X server (Xvfb),
# driven with xdotool and read back with xclip. Needs the nginx peer on 18080.
# Usage: e2e.sh PAKENO_BINARY PEERS_DIR
set -euo pipefail
pakeno=$1
peers=$2
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "e2e: FAIL: $*"; exit 1; }

source "$(dirname "$0")/../../scripts/xvfb.sh"
pakeno_start_xvfb

network_up=no
for state in /sys/class/net/*/operstate; do
  [ "$(basename "$(dirname "$state")")" = lo ] && continue
  [ "$(cat "$state")" = up ] && network_up=yes
done

"$pakeno" >"$work/app.log" 2>&1 &
app_pid=$!
if [ $network_up = yes ]; then
  # The binary's update page announces 1.0.1: the question comes first, alone.
  question=$(xdotool search --sync --onlyvisible --name "发现新版本" | head -n1)
  [ -n "$question" ] || fail "no update question"
  xdotool search --onlyvisible --name "Pakeno 1.0.0" >/dev/null && fail "the window came before the question"
  xdotool windowfocus --sync "$question"
  xdotool key Escape   # No: nothing is opened
else
  echo "e2e: no network interface up, so the update check stays silent"
fi
wid=$(xdotool search --sync --onlyvisible --name "Pakeno 1.0.0" | head -n1)
[ -n "$wid" ] || fail "no window"

click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; sleep 0.2; }
marker="e2e-$RANDOM$RANDOM"

# The address box (10, 26, 288 x 28) and the data box (10, 79, 288 x 120).
click 150 40
xdotool type --delay 5 "127.0.0.1:18080/index.html?$marker"
click 150 130
xdotool type --delay 5 "name=pakeno&run=$marker"
click 348 196   # 发送数据包
for _ in $(seq 50); do grep -q "POST /index.html?$marker" "$peers/nginx-access.log" && break; sleep 0.1; done
grep -q "POST /index.html?$marker HTTP/1.1" "$peers/nginx-access.log" || fail "the server saw no POST"

click 348 319   # 复制返回信息
box=$(xdotool search --sync --onlyvisible --name "信息：" | head -n1)
[ -n "$box" ] || fail "no confirmation box"
xdotool windowfocus --sync "$box"
xdotool key Return
for _ in $(seq 50); do xdotool search --onlyvisible --name "信息：" >/dev/null || break; sleep 0.1; done
copied=$(xclip -o -selection clipboard)
[ "$copied" = "hello from nginx" ] || fail "clipboard holds '$copied'"

xdotool windowfocus --sync "$wid"
xdotool key Escape
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
set +e
wait "$app_pid"
code=$?
set -e
app_pid=""
[ "$code" -eq 0 ] || fail "exit code $code"
echo "e2e: passed (POST seen, clipboard '$copied', exit code 0)"
