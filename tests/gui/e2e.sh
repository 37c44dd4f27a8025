#!/usr/bin/env bash
# End to end, as a user would: the real binary in a real X server (Xvfb),
# driven with xdotool and read back with xclip. Needs the peers (nginx and
# the PHP legacy site), at the ports PEERS_DIR/ports names. The same steps
# for the Windows build: binaries named *.exe run under Wine, in the Wine
# prefix WINEPREFIX names.
# Usage: e2e.sh PAKENO_BINARY PROBE_BINARY PEERS_DIR VERSION ARTEFACTS_DIR
# Leaves the window at 200 % (and, for Windows, at 100 %) in ARTEFACTS_DIR,
# for a person to look at, and the window after a 200, a 404 and a refused
# connection (Linux at 200 %, Windows at 100 %).
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
# shellcheck source=scripts/wine.sh
source "$(dirname "$0")/../../scripts/wine.sh"
pakeno_scratch
fail() { echo "e2e: FAIL: $*"; [ -s "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log"; exit 1; }
wait_for() {  # PATTERN FILE: until the file holds the pattern, at most 5 s
  for _ in $(seq 50); do grep -q "$1" "$2" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

# The first visible window whose name matches; empty after 10 s without one.
find_window() { timeout 10 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1 || true; }
# Answers the message box WINDOW with KEY, again each second while the box
# stays (a key that comes before the box has the focus is lost); at most 5 s.
answer() {  # WINDOW KEY
  for _ in 1 2 3 4 5; do
    xdotool windowfocus --sync "$1" 2>/dev/null || return 0
    xdotool key "$2"
    for _ in $(seq 10); do xwininfo -id "$1" 2>/dev/null | grep -q IsViewable || return 0; sleep 0.1; done
  done
  fail "the box did not take the key $2"
}

run=()
if [[ $pakeno == *.exe ]]; then
  run=("${pakeno_fixed_layout[@]}" env WINEDEBUG=-all wine)
fi
# Wine's clipboard lives with the display its prefix started on: under Wine
# the display given, if there is one.
if [ ${#run[@]} -eq 0 ] || [ -z "${DISPLAY:-}" ]; then
  pakeno_start_xvfb
fi
# A UTF-8 locale, whoever runs this: the X server holds a window's old-style
# name in the locale's charset, and xdotool matches the Chinese titles in it.
export LANG=C.UTF-8
unset LC_ALL

# --- message boxes speak Chinese whatever the locale; N answers No
LANG=C LC_ALL=C "${run[@]}" "$probe" buttons >"$work/probe.out" 2>/dev/null &
probe_pid=$!
box=$(find_window "probe-buttons")
[ -n "$box" ] || fail "no probe box"
wait_for "captions:" "$work/probe.out" || fail "the probe printed no captions"
grep -q "captions: 是(&Y) 否(&N)" "$work/probe.out" || fail "buttons: $(cat "$work/probe.out")"
answer "$box" n
wait "$probe_pid" || true
grep -q "answer=no" "$work/probe.out" || fail "N did not answer No: $(cat "$work/probe.out")"

PAKENO_UPDATE_SERVER="http://127.0.0.1:$http" "${run[@]}" "$pakeno" >"$work/app.log" 2>&1 &
app_pid=$!
# The binary's update page announces 1.0.1: the question comes first, alone.
question=$(find_window "发现新版本")
[ -n "$question" ] || fail "no update question"
xdotool search --onlyvisible --name "$title" >/dev/null && fail "the window came before the question"
answer "$question" n   # 否(&N): nothing is opened
wid=$(find_window "$title")
[ -n "$wid" ] || fail "no window"

scale=1  # the window's scale factor: its coordinates below are at 100 %
click() { xdotool mousemove --window "$wid" $(($1 * scale)) $(($2 * scale)) click 1; sleep 0.2; }
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
  answer "$confirmation" Return
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

# --- GET with the data box filled: the question, Yes empties the box and sends
fill 150 40 "127.0.0.1:$http/index.html?get-$marker"
fill 150 130 "left=over"
click 330 148   # 单选框get
send
question=$(find_window "^错误$")
[ -n "$question" ] || fail "no question before a GET with data"
answer "$question" y   # 是(&Y)
wait_for "GET /index.html?get-$marker HTTP/1.1" "$peers/nginx-access.log" || fail "the server saw no GET"
copy_answer
[ "$copied" = "hello from nginx" ] || fail "the GET answered '$copied'"
click 348 278   # 复制提交数据
confirmation=$(find_window "信息：")
[ -n "$confirmation" ] || fail "no confirmation of the data box's copy"
answer "$confirmation" Return
[ -z "$(xclip -o -selection clipboard)" ] || fail "Yes left the data box filled"

# --- the line under the buttons: in the error colour (red, which nothing
# else in the window is drawn in) after a 404 or a failure, not after a 200
red_pixels() {  # clearly red ones, the text's smoothed edges included
  import -window "$wid" "$work/shot.png" 2>/dev/null || { echo 0; return; }
  convert "$work/shot.png" -depth 8 txt:- | awk -F'[(,)]' 'NR > 1 && $3 - $4 > 80 && $3 - $5 > 80 {n++} END {print n + 0}'
}
wait_for_red() {  # yes|no: until the line is, or is not, red; at most 10 s
  for _ in $(seq 40); do
    local n
    n=$(red_pixels)
    if [ "$1" = yes ] && [ "$n" -gt 100 ]; then return 0; fi
    if [ "$1" = no ] && [ "$n" -eq 0 ]; then return 0; fi
    sleep 0.25
  done
  return 1
}
# A loopback port nothing listens on: a connection there is refused at once.
closed_port() {
  local p
  for p in $(seq 47000 47999); do
    (: <"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return; }
  done
}
outcome_shots() {  # NAME: the three outcomes, each left in $artefacts as outcome-WHAT-NAME.png
  mkdir -p "$artefacts"
  fill 150 40 "127.0.0.1:$http/missing-$marker"
  send
  wait_for_red yes || fail "the line is not red after a 404"
  cp "$work/shot.png" "$artefacts/outcome-404-$1.png"
  fill 150 40 "127.0.0.1:$http/index.html"
  send
  wait_for_red no || fail "the line stays red after a 200"
  cp "$work/shot.png" "$artefacts/outcome-200-$1.png"
  fill 150 40 "127.0.0.1:$(closed_port)/refused"
  send
  wait_for_red yes || fail "the line is not red after a refused connection"
  cp "$work/shot.png" "$artefacts/outcome-refused-$1.png"
}
if [ ${#run[@]} -gt 0 ]; then
  outcome_shots win32-1x
else
  outcome_shots linux-1x
fi

# --- clear: the three boxes are empty
click 348 363   # 清空所有数据
last_copied="(none)"
copy_answer
[ -z "$copied" ] || fail "clear left '$copied' in the return box"

# --- the window at 200 %, as the X server shows it
mkdir -p "$artefacts"
if [ ${#run[@]} -gt 0 ]; then
  import -window "$wid" "$artefacts/window-win32-1x.png" || fail "no screenshot at 100 %"
else
  QT_SCALE_FACTOR=2 "$probe" screenshot "$artefacts/window-2x.png" >"$work/shot.out" 2>/dev/null
  grep -q "screenshot saved" "$work/shot.out" || fail "no screenshot at 200 %: $(cat "$work/shot.out")"
fi

pakeno_close_with_esc "$wid"
[ "$code" -eq 0 ] || fail "exit code $code"
if [ ${#run[@]} -eq 0 ]; then
  # The outcomes again with the window at 200 %.
  QT_SCALE_FACTOR=2 PAKENO_UPDATE_SERVER="http://127.0.0.1:$http" "$pakeno" >"$work/app.log" 2>&1 &
  app_pid=$!
  question=$(find_window "发现新版本")
  [ -n "$question" ] || fail "no update question at 200 %"
  answer "$question" n
  wid=$(find_window "$title")
  [ -n "$wid" ] || fail "no window at 200 %"
  scale=2
  click 330 148   # 单选框get
  outcome_shots linux-2x
  pakeno_close_with_esc "$wid"
  [ "$code" -eq 0 ] || fail "exit code $code at 200 %"
else
  # The same window at 200 %: the prefix's DPI, for one more start.
  wine_dpi() { WINEDEBUG=-all "${pakeno_fixed_layout[@]}" wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
  wine_dpi 192
  "${run[@]}" "$pakeno" >"$work/app.log" 2>&1 &
  app_pid=$!
  wid=$(find_window "$title")
  sleep 1
  [ -n "$wid" ] && import -window "$wid" "$artefacts/window-win32-2x.png"
  wine_dpi 96
  [ -s "$artefacts/window-win32-2x.png" ] || fail "no screenshot at 200 %"
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
fi
echo "e2e: passed (Chinese buttons, update question, POST seen, legacy login, UTF-8 copy, GET question, outcome line, clear, exit code 0)"
