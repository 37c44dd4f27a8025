# shellcheck shell=bash
# Sourced: starts Xvfb on a free display, exports DISPLAY and sets xvfb_pid.
# Needs $work, a scratch folder. -noreset: the server must not restart
# between two clients, or the next one cannot connect.
# shellcheck disable=SC2154  # $work is the caller's
pakeno_start_xvfb() {
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  # shellcheck disable=SC2034  # read by the caller
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  DISPLAY=":$(head -n1 "$work/display")"
  export DISPLAY
  unset QT_QPA_PLATFORM
}
