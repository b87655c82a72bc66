#!/usr/bin/env bash
# Installs the Debian packages that Corvane's build, tests and demo need,
# only those that are missing. Run as root (or with sudo available).
#   scripts/install-deps.sh             the Linux build, tests and demo
#   scripts/install-deps.sh --windows   the Windows cross-build and its tests
#                                       under Wine (adds the i386 architecture)
set -euo pipefail
windows=0
[ "${1:-}" = "--windows" ] && windows=1
packages=(
  cmake g++ make clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libfltk1.3-dev libcli11-dev
  xvfb xdotool xclip x11-apps x11-utils x11-xserver-utils openbox imagemagick
  python3 python3-serial
  scdoc man-db dpkg-dev file lintian devscripts bash-completion
)
if ((windows)); then
  packages=(cmake make g++ g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
            mingw-w64-tools googletest wine wine32:i386 xvfb xdotool x11-utils socat)
fi
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if ((windows)) && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
