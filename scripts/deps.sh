# Sourced by start.sh and test.sh: installs the Debian packages named in
# "$@" that are not installed yet, non-interactively, and says so.
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

PAKENO_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libcurl4-openssl-dev libpsl-dev publicsuffix qt6-base-dev libgl-dev)
PAKENO_RUN_PACKAGES=(fonts-wqy-microhei ca-certificates)
PAKENO_TEST_PACKAGES=(libgtest-dev libgmock-dev nginx-light tinyproxy php-cli php-mbstring openssl curl xvfb xauth xdotool xclip clang libclang-rt-14-dev)
