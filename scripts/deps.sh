# shellcheck shell=bash
# Sourced by start.sh and test.sh: the Debian packages each needs, how to
# install the missing ones, and how each configures its build.

# Installs the Debian packages named in "$@" that are not installed yet,
# non-interactively, and says so.
pakeno_install_missing() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "pakeno: installing Debian packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The tool alone, in a folder of its own, so that starting it never changes
# what the test command's build holds.
pakeno_configure_tool() {  # DIR
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAKENO_BUILD_GUI=ON -DPAKENO_BUILD_TESTS=OFF \
    -DPAKENO_SANITIZE=OFF -DPAKENO_FUZZ=OFF >/dev/null
}

# A build with the whole suite; every setting it needs is set here, not
# taken from whatever an earlier configuration left in the cache.
pakeno_configure_suite() {  # DIR [CMAKE ARGUMENTS...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DPAKENO_BUILD_GUI=ON -DPAKENO_BUILD_TESTS=ON -DPAKENO_SANITIZE=OFF -DPAKENO_FUZZ=OFF \
    "$@" >/dev/null
}

# shellcheck disable=SC2034  # used by the scripts that source this file
PAKENO_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libcurl4-openssl-dev libpsl-dev publicsuffix qt6-base-dev libgl-dev)
# shellcheck disable=SC2034
PAKENO_RUN_PACKAGES=(fonts-wqy-microhei ca-certificates)
# shellcheck disable=SC2034
PAKENO_PEER_PACKAGES=(nginx-light tinyproxy php-cli php-mbstring openssl)
# shellcheck disable=SC2034
PAKENO_TEST_PACKAGES=(libgtest-dev libgmock-dev "${PAKENO_PEER_PACKAGES[@]}" curl xvfb xauth
  x11-utils xdotool xclip imagemagick clang libclang-rt-dev clang-format shellcheck dpkg-dev file desktop-file-utils appstream)
# shellcheck disable=SC2034
PAKENO_WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 publicsuffix nsis
  xvfb xauth x11-utils xdotool xclip imagemagick fonts-wqy-microhei)
