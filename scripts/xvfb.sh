# shellcheck shell=bash
# Sourced by the scripts that run the window under Xvfb.

# Makes $work, a scratch folder, and a trap that, however the script ends,
# stops the program in $app_pid and the X server and removes $work.
pakeno_scratch() {
  work=$(mktemp -d)
  xvfb_pid=""
  app_pid=""
  trap pakeno_clean_up EXIT
}

pakeno_clean_up() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}

# Runs "$@" in a network namespace with loopback only, so that nothing it
# starts reaches beyond this machine: as root directly, else through a user
# namespace or sudo. Returns 125, running nothing, when none of them is to be had.
pakeno_offline() {
  if [ "$(id -u)" -eq 0 ]; then
    unshare -n -- "$@"
  elif unshare -rn true 2>/dev/null; then
    unshare -rn -- "$@"
  elif sudo -n true 2>/dev/null; then
    sudo -n unshare -n -- setpriv --reuid="$(id -u)" --regid="$(id -g)" --clear-groups -- "$@"
  else
    return 125
  fi
}

# Starts Xvfb on a free display, exports DISPLAY and sets xvfb_pid. Needs
# $work. -noreset: the server must not restart between two clients, or the
# next one cannot connect.
pakeno_start_xvfb() {
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  DISPLAY=":$(head -n1 "$work/display")"
  export DISPLAY
  unset QT_QPA_PLATFORM
}

# Closes the window WID of the program in $app_pid as a user would, a click
# on its label first (Wine makes a window active again after a message box
# only when it is clicked), then Esc, again each second while it runs; at
# most 5 s. Sets $code to its exit code and empties $app_pid.
pakeno_close_with_esc() {  # WID
  local _
  for _ in 1 2 3 4 5; do
    xdotool mousemove --window "$1" 40 15 click 1 2>/dev/null || break
    xdotool windowfocus --sync "$1" 2>/dev/null || break
    xdotool key Escape
    for _ in $(seq 10); do kill -0 "$app_pid" 2>/dev/null || break 2; sleep 0.1; done
  done
  set +e
  wait "$app_pid"
  # shellcheck disable=SC2034  # read by the caller
  code=$?
  set -e
  app_pid=""
}
