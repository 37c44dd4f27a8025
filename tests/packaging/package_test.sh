#!/usr/bin/env bash
# The Debian package: built, holding what it must, valid to the desktop's
# and AppStream's checkers, and its binary, extracted, starts and shows its
# window under Xvfb (in a network namespace with loopback only: the default
# build's update probe names a public site).
# Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
# shellcheck source=scripts/xvfb.sh
source "$(dirname "$0")/../../scripts/xvfb.sh"
pakeno_scratch
fail() { echo "package: FAIL: $*"; exit 1; }

(cd "$build" && cpack >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb="$build/pakeno_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"

dpkg-deb -c "$deb" | awk '{print $6}' >"$work/files"
for file in ./usr/bin/pakeno ./usr/share/applications/pakeno.desktop ./usr/share/metainfo/net.pakeno.Pakeno.metainfo.xml \
            ./usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128}/apps/pakeno.png; do
  grep -qx "$file" "$work/files" || fail "the package lacks $file"
done
dpkg-deb -f "$deb" Section | grep -qx web || fail "section is not web"
dpkg-deb -f "$deb" Depends | grep -q libcurl4 || fail "dependencies not read off the binary"

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/pakeno.desktop" || fail "desktop-file-validate"
# The project has no homepage yet: AppStream 1.0 counts that as an error,
# the only one allowed; every other error fails.
if ! verdict=$(appstreamcli validate --no-net "$work/root/usr/share/metainfo/net.pakeno.Pakeno.metainfo.xml" 2>&1); then
  if grep -E '^E:' <<<"$verdict" | grep -vq 'url-homepage-missing'; then
    echo "$verdict"
    fail "appstreamcli validate"
  fi
  echo "package: appstreamcli: the only error is url-homepage-missing (the project has no homepage yet)"
fi

if ! pakeno_offline true; then
  echo "package: passed ($deb: files, desktop entry and metainfo valid); not started: a loopback-only network"
  echo "namespace needs root, unprivileged user namespaces or sudo, and none is to be had"
  exit 0
fi
pakeno_start_xvfb
pakeno_offline "$work/root/usr/bin/pakeno" >"$work/app.log" 2>&1 &
app_pid=$!
wid=$(timeout 20 xdotool search --sync --onlyvisible --name "Pakeno $version" 2>/dev/null | head -n1 || true)
[ -n "$wid" ] || { cat "$work/app.log"; fail "the extracted binary showed no window"; }
echo "package: passed ($deb: files, desktop entry and metainfo valid, window shown)"
