#!/usr/bin/env bash
# Tries the project as a new user of another Debian release would: makes a
# minimal debootstrap chroot of RELEASE (bookworm, trixie), clones this
# checkout into it and runs the README's test command there; then installs
# the package built here on the host into it and starts the installed binary
# under Xvfb, in a loopback-only network namespace. Not part of .ci/run: it
# takes a whole test run and more.
# Usage: scripts/test-on-debian.sh RELEASE [CHROOT_DIR]   (as root or with sudo)
set -euo pipefail
cd "$(dirname "$0")/.."
release=$1
root=${2:-/var/tmp/pakeno-$release}
# shellcheck source=scripts/deps.sh
source scripts/deps.sh
pakeno_install_missing debootstrap git
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if [ ! -x "$root/usr/bin/apt-get" ]; then
  $sudo debootstrap --variant=minbase --include=ca-certificates,git,sudo "$release" "$root" http://deb.debian.org/debian
fi
$sudo cp /etc/resolv.conf "$root/etc/resolv.conf"
# debootstrap writes no hosts file: without one, "localhost" resolves only
# where a library knows it by itself (libcurl does, Wine does not).
[ -e "$root/etc/hosts" ] || $sudo cp /etc/hosts "$root/etc/hosts"
mounted=()
# shellcheck disable=SC2317  # run by the trap
clean_up() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do $sudo umount -l "${mounted[i]}" || true; done
}
trap clean_up EXIT
for fs in proc sys dev dev/pts; do
  $sudo mount --bind "/$fs" "$root/$fs"
  mounted+=("$root/$fs")
done
in_chroot() { $sudo chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

# The README's test command, on a fresh clone.
$sudo rm -rf "$root/work/pakeno"
$sudo mkdir -p "$root/work"
$sudo git clone -q . "$root/work/pakeno"
echo "== test-on-debian: $release: scripts/test.sh"
status=0
in_chroot bash -c 'cd /work/pakeno && scripts/test.sh' 2>&1 | tee "/tmp/pakeno-test-on-$release.log" || status=1
closing=$(grep -E '^pakeno: [0-9]+ passed, [0-9]+ failed$' "/tmp/pakeno-test-on-$release.log" | tail -n1 || true)

# The package built here, installed there.
echo "== test-on-debian: $release: the package built on the host"
pakeno_install_missing "${PAKENO_BUILD_PACKAGES[@]}" dpkg-dev file
cmake -S . -B build-deb -G Ninja -DPAKENO_BUILD_TESTS=OFF >/dev/null
cmake --build build-deb --target package >/dev/null
deb=$(ls build-deb/pakeno_*_"$(dpkg --print-architecture)".deb)
$sudo cp "$deb" "$root/tmp/"
in_chroot bash -c "apt-get install -y -qq /tmp/$(basename "$deb") xvfb xauth xdotool >/dev/null"
started=yes
# shellcheck disable=SC2016  # the chroot's shell expands these
if ! in_chroot bash -c '
  Xvfb :77 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
  sleep 1
  DISPLAY=:77 unshare -n -- /usr/bin/pakeno >/tmp/pakeno.log 2>&1 & app=$!
  wid=$(DISPLAY=:77 timeout 20 xdotool search --sync --onlyvisible --name "Pakeno " 2>/dev/null | head -n1)
  kill $app $xvfb 2>/dev/null
  [ -n "$wid" ] || { cat /tmp/pakeno.log; exit 1; }'; then
  started=no
  status=1
fi

echo "test-on-debian $release: ${closing:-no closing line}; the host's package installed and started: $started"
exit $status
