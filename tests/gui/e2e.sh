#!/usr/bin/env bash
# End to end, as a user would: the real binary in a real X server (Xvfb),
# driven with xdotool and read back with xclip. Needs the peers (nginx and
# the PHP legacy site), at the ports PEERS_DIR/ports names.
# Usage: e2e.sh PAKENO_BINARY PROBE_BINARY PEERS_DIR VERSION ARTEFACTS_DIR
# Leaves ARTEFACTS_DIR/window-2x.png, the window at 200 %, for a person to look at.
set -euo pipefail
pakeno=$1
probe=$2
peers=$3
title="Pakeno $4"
artefacts=$5
http=$(sed -n 's/^http=//p' "$peers/ports")
php=$(sed -n 's/^php=//p' "$peers/ports")
# shellcheck source=scripts/xvfb.sh
source "$(dirname "$0")/../../scripts/xvfb.sh"
pakeno_scratch
fail() { echo "e2e: FAIL: $*"; [ -s "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log"; exit 1; }
wait_for() {  # PATTERN FILE: until the file holds the pattern, at most 5 s
  for _ in $(seq 50); do grep -q "$1" "$2" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

# The first visible window whose name matches; empty after 10 s without one.
find_window() { timeout 10 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1 || true; }

pakeno_start_xvfb
# A UTF-8 locale, whoever runs this: the X server holds a window's old-style
# name in the locale's charset, and xdotool matches the Chinese titles in it.
export LANG=C.UTF-8
unset LC_ALL

# --- message boxes speak Chinese whatever the locale; N answers No
LANG=C LC_ALL=C "$probe" buttons >"$work/probe.out" 2>/dev/null &
probe_pid=$!
box=$(find_window "probe-buttons")
[ -n "$box" ] || fail "no probe box"
wait_for "captions:" "$work/probe.out" || fail "the probe printed no captions"
grep -q "captions: 是(&Y) 否(&N)" "$work/probe.out" || fail "buttons: $(cat "$work/probe.out")"
xdotool windowfocus --sync "$box"
xdotool key n
wait "$probe_pid" || true
grep -q "answer=no" "$work/probe.out" || fail "N did not answer No: $(cat "$work/probe.out")"

PAKENO_UPDATE_SERVER="http://127.0.0.1:$http" "$pakeno" >"$work/app.log" 2>&1 &
app_pid=$!
# The binary's update page announces 1.0.1: the question comes first, alone.
question=$(find_window "发现新版本")
[ -n "$question" ] || fail "no update question"
xdotool search --onlyvisible --name "$title" >/dev/null && fail "the window came before the question"
xdotool windowfocus --sync "$question"
xdotool key n   # 否(&N): nothing is opened
wid=$(find_window "$title")
[ -n "$wid" ] || fail "no window"

click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; sleep 0.2; }
# Replaces a box's text by pasting, as users bring addresses and form bodies.
fill() {  # X Y TEXT
  printf '%s' "$3" | xclip -selection clipboard
  click "$1" "$2"
  xdotool key ctrl+a ctrl+v
  sleep 0.2
}
# Presses 复制返回信息 and gives back what the clipboard then holds.
copy_return_box() {
  click 348 319
  local confirmation
  confirmation=$(find_window "信息：")
  [ -n "$confirmation" ] || fail "no confirmation box"
  xdotool search --onlyvisible --name "^错误$" >/dev/null && fail "the copy was reported as failed"
  xdotool windowfocus --sync "$confirmation"
  xdotool key Return
  for _ in $(seq 50); do xdotool search --onlyvisible --name "信息：" >/dev/null || break; sleep 0.1; done
  xclip -o -selection clipboard
}
send() { click 348 196; }  # 发送数据包
# After a send: copies the return box until it no longer holds what the last
# copy gave (the request has ended), at most 10 s; sets $copied.
last_copied=""
copy_answer() {
  for _ in $(seq 40); do
    copied=$(copy_return_box)
    [ "$copied" != "$last_copied" ] && break
    sleep 0.25
  done
  last_copied=$copied
}
marker="e2e-$RANDOM$RANDOM"

# --- a POST typed by hand to nginx: the address box (10, 26), the data box (10, 79)
click 150 40
xdotool type --delay 5 "127.0.0.1:$http/index.html?$marker"
click 150 130
xdotool type --delay 5 "name=pakeno&run=$marker"
send
wait_for "POST /index.html?$marker HTTP/1.1" "$peers/nginx-access.log" || fail "the server saw no POST"
copy_answer
[ "$copied" = "hello from nginx" ] || fail "clipboard holds '$copied'"

# --- a legacy GBK site: log in under /shop, then the account page knows the user
fill 150 40 "127.0.0.1:$php/shop/login.php"
fill 150 130 "user=张三&pass=secret"
send
copy_answer
[ "$copied" = "欢迎，张三！" ] || fail "login answered '$copied'"
fill 150 40 "127.0.0.1:$php/shop/account.php"
fill 150 130 "view=1"
send
copy_answer
[ "$copied" = "用户：张三" ] || fail "the account page answered '$copied'"

# --- a UTF-8 page shows as GBK-read bytes and still copies
fill 150 40 "127.0.0.1:$http/files/utf8.html"
send
copy_answer
[ -n "$copied" ] || fail "nothing copied from a UTF-8 page"

# --- the window at 200 %, as the X server shows it
mkdir -p "$artefacts"
QT_SCALE_FACTOR=2 "$probe" screenshot "$artefacts/window-2x.png" >"$work/shot.out" 2>/dev/null
grep -q "screenshot saved" "$work/shot.out" || fail "no screenshot at 200 %: $(cat "$work/shot.out")"

xdotool windowfocus --sync "$wid"
xdotool key Escape
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
set +e
wait "$app_pid"
code=$?
set -e
app_pid=""
[ "$code" -eq 0 ] || fail "exit code $code"
echo "e2e: passed (Chinese buttons, update question, POST seen, legacy login, UTF-8 copy, exit code 0)"
