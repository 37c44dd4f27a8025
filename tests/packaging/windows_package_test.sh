#!/usr/bin/env bash
# The Windows downloads: pakeno.exe imports system DLLs only and carries its
# icon, version and manifest; the zip holds it and the read-me; the installer
# installs silently for the current user under Wine, the installed program
# starts and ends with exit code 0 (in a network namespace with loopback
# only: the default build's update probe names a public site), and the
# uninstaller leaves nothing behind. Needs WINEPREFIX and DISPLAY.
# Usage: windows_package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
name=pakeno-$version-win64
# shellcheck source=scripts/xvfb.sh
source "$(dirname "$0")/../../scripts/xvfb.sh"
# shellcheck source=scripts/wine.sh
source "$(dirname "$0")/../../scripts/wine.sh"
pakeno_scratch
fail() { echo "windows package: FAIL: $*"; exit 1; }
wine_quiet() { WINEDEBUG=-all "${pakeno_fixed_layout[@]}" wine "$@" </dev/null 2>/dev/null; }

exe=$build/package/$name/pakeno.exe
x86_64-w64-mingw32-objdump -p "$exe" >"$work/headers"
grep -q "^Magic.*020b" "$work/headers" || fail "pakeno.exe is not a 64-bit program"
grep -q "^Subsystem.*(Windows GUI)" "$work/headers" || fail "pakeno.exe is not a GUI program"
system_dlls=" kernel32.dll user32.dll gdi32.dll shell32.dll comctl32.dll wininet.dll crypt32.dll msvcrt.dll advapi32.dll "
while read -r dll; do
  [[ $system_dlls == *" ${dll,,} "* ]] || fail "pakeno.exe imports $dll, which Windows does not bring"
done < <(sed -n 's/^\s*DLL Name: //p' "$work/headers")
# Windows 7 SP1 starts it: the header allows 6.1, and no function it imports is newer.
subsystem=$(awk '/^MajorSubsystemVersion/ {major=$2} /^MinorSubsystemVersion/ {minor=$2} END {print major * 100 + minor}' \
  "$work/headers")
[ "$subsystem" -le 601 ] || fail "pakeno.exe asks for Windows $subsystem (major * 100 + minor), above 6.1"
# Each import is a line that starts with its address and ends with its name;
# binutils 2.40 and 2.44 lay out the columns between differently.
awk '/DLL Name:/ {dll = 1; next} /^[ \t]*$/ {dll = 0}
  dll && $1 ~ /^[0-9a-fA-F]+$/ && $NF ~ /^[A-Za-z_]/ {print $NF}' "$work/headers" | sort -u >"$work/imports"
[ -s "$work/imports" ] || fail "no imported function found in pakeno.exe's headers"
newer=$(grep -v '^#' "$(dirname "$0")/newer_than_windows7.txt" | sort -u | comm -12 - "$work/imports")
[ -z "$newer" ] || fail "pakeno.exe imports functions Windows 7 lacks: $(echo "$newer" | tr '\n' ' ')"
echo "windows package: $(wc -l <"$work/imports") imported functions, none newer than Windows 7"
x86_64-w64-mingw32-objdump -h "$exe" | grep -q "\.rsrc" || fail "pakeno.exe has no resources"
for text in "P.a.k.e.n.o" "F.i.l.e.V.e.r.s.i.o.n" "PerMonitorV2"; do
  grep -aq "$text" "$exe" || fail "the resources lack $text"
done

# The icon: 128, 64, 48, 32 and 16 pixels, as on Linux.
icon=$(dirname "$0")/../../packaging/windows/pakeno.ico
sizes=$(for i in 0 1 2 3 4; do od -An -tu1 -j $((6 + 16 * i)) -N1 "$icon"; done | tr -s ' \n' ' ')
if [ "$(od -An -tu2 -j4 -N2 "$icon" | tr -d ' ')" != 5 ] || [ "$sizes" != " 128 64 48 32 16 " ]; then
  fail "the icon holds other sizes: $sizes"
fi

cmake -E tar tf "$build/package/$name.zip" | sort >"$work/zip"
printf '%s\n' "$name/pakeno.exe" "$name/readme.txt" | diff - "$work/zip" || fail "the zip holds other files"
readme=$build/package/$name/readme.txt
if ! grep -q "使用方法" "$readme" || ! grep -q "How to run it" "$readme"; then fail "the read-me is not in Chinese and English"; fi
grep -q "Wine 8" "$readme" || fail "the read-me does not say what it was tested on"

# Everything the user's part of the prefix holds, and its uninstall entries.
snapshot() {
  find "$WINEPREFIX/drive_c/users" -path '*/Temp' -prune -o -print | sort
  wine_quiet reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' | grep -i pakeno || true
}
snapshot >"$work/before"
wine_quiet "$build/package/$name-setup.exe" /S || fail "the silent install failed"
installed=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Local/Programs/Pakeno/pakeno.exe' | head -n1)
[ -n "$installed" ] || fail "nothing installed in the user's programs folder"
cmp -s "$installed" "$exe" || fail "the installed program is not the packaged one"
[ -n "$(find "$WINEPREFIX/drive_c/users" -path '*/Start Menu/Programs/Pakeno.lnk')" ] || fail "no Start-menu entry"
snapshot | grep -q "DisplayName.*Pakeno" || fail "no uninstall entry for the user"

# The installed program starts, shows its window and ends with exit code 0.
pakeno_offline env WINEDEBUG=-all "${pakeno_fixed_layout[@]}" wine "$installed" >"$work/app.log" 2>&1 &
app_pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name "Pakeno $version" 2>/dev/null | head -n1 || true)
[ -n "$wid" ] || fail "the installed program shows no window: $(cat "$work/app.log")"
pakeno_close_with_esc "$wid"
[ "$code" -eq 0 ] || fail "the installed program ended with $code"

# The uninstaller runs from a copy of itself in Temp: wait for its work.
wine_quiet "$(dirname "$installed")/uninstall.exe" /S || fail "the silent uninstall failed"
for _ in $(seq 100); do [ -e "$installed" ] || [ -e "$(dirname "$installed")" ] || break; sleep 0.2; done
snapshot >"$work/after"
diff "$work/before" "$work/after" || fail "the uninstaller left the above behind"
echo "windows package: passed (system DLLs only, resources, zip, silent install, start, exit 0, uninstall leaves nothing)"
