# shellcheck shell=bash
# Sourced by the scripts that run the Windows build under Wine.

# What Wine is started with, before the command: the address space laid out
# without randomisation. Debian's Wine has no preloader to reserve, before
# Linux places anything, the addresses a Windows process has fixed: now and
# then the randomised heap of its loader lands on 0x7ffe0000, where the
# shared user data must go, and Wine ends at once without running the
# program ("failed to map the shared user data", about once in a few
# thousand starts). Unrandomised, the heap follows the loader at
# 0x7d000000, far below it. setarch execs, so a process id taken of it is
# Wine's. Where the personality cannot be set (a seccomp profile forbids
# it) Wine starts as before, and run-under-wine.sh names such a failure.
pakeno_fixed_layout=()
if setarch "$(uname -m)" --addr-no-randomize true 2>/dev/null; then
  pakeno_fixed_layout=(setarch "$(uname -m)" --addr-no-randomize)
fi

# Makes the Wine prefix PREFIX (exported as WINEPREFIX) ready for programs
# that run side by side, and keeps one wineserver up for it until
# pakeno_wine_stop: a Wine that starts just as an idle wineserver exits loses
# its connection to it, a Wine started while another still sets the prefix up
# may fail at once, and Wine's services started by a test would hold its
# output open. The display must be set first: Wine's clipboard stays with it.
pakeno_wine_prefix() {
  export WINEPREFIX=$1
  # A server left by a run that was killed would never end the wait below.
  wineserver --kill 2>/dev/null || true
  WINEDEBUG=-all "${pakeno_fixed_layout[@]}" wineboot --init >/dev/null 2>&1 </dev/null
  wineserver --wait
  wineserver --persistent
  WINEDEBUG=-all "${pakeno_fixed_layout[@]}" wineboot >/dev/null 2>&1 </dev/null
  # A Windows of any language draws Chinese in the default GUI font by
  # linking a CJK font to it; Wine does so only in a Chinese locale.
  local face
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
    WINEDEBUG=-all "${pakeno_fixed_layout[@]}" wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
      /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
  done
  WINEDEBUG=-all "${pakeno_fixed_layout[@]}" wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
}

pakeno_wine_stop() { wineserver --kill 2>/dev/null || true; }
