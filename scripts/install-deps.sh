#!/usr/bin/env bash
# Installs every Debian package that building, running and testing disktest needs.
# Usage: scripts/install-deps.sh [run|test]
#   run  - what the program needs to build and run (Linux)
#   test - everything: Linux build, Qt 5 compile check, MinGW cross build, Wine, peers,
#          the package tests (dpkg-shlibdeps and the file utility it needs, man,
#          desktop-file-validate, unzip)
set -euo pipefail
what=${1:-test}
export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

run_pkgs=(build-essential cmake ninja-build pkg-config
  nlohmann-json3-dev libcli11-dev libblkid-dev libpng-dev liburing-dev
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev fonts-liberation2
  xvfb xauth)
test_pkgs=(googletest libgtest-dev libgmock-dev
  libfuse3-dev fuse3 util-linux fdisk e2fsprogs
  poppler-utils fio hdparm libatasmart-bin strace
  qtbase5-dev libqt5charts5-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine32:i386 wine64
  dpkg-dev file man-db desktop-file-utils unzip
  polkitd pkexec dbus weston qt6-wayland x11-utils)

if [ "$what" = test ]; then
  $SUDO dpkg --add-architecture i386
fi
# A mirror in the middle of a sync answers with index files of the wrong size and
# apt-get exits 100: try again a few times, waiting longer each time.
apt_retry() {
  local n=1 delay=10
  while ! $SUDO apt-get -o Acquire::Retries=3 "$@"; do
    [ "$n" -lt 4 ] || return 1
    echo "apt-get $1 failed (attempt $n), again in ${delay}s" >&2
    sleep "$delay"
    n=$((n + 1)); delay=$((delay * 2))
  done
}

pkgs=("${run_pkgs[@]}")
[ "$what" = test ] && pkgs+=("${test_pkgs[@]}")

if ! apt_retry update -qq; then
  # The lists already here may still hold every package (or they are installed).
  echo "apt-get update failed; installing from the package lists at hand" >&2
fi
if ! $SUDO apt-get -o Acquire::Retries=3 install -y -qq --no-install-recommends "${pkgs[@]}" >/dev/null; then
  # A mirror mid-sync can hold an i386 index older than the amd64 one, and then no
  # i386 library matches its amd64 twin. 32-bit Wine is the only i386 package; without
  # it the test command runs the Windows tests as a 64-bit build under 64-bit Wine.
  if [ "$what" = test ]; then
    echo "32-bit Wine cannot be installed now; installing the rest without it" >&2
    kept=()
    for p in "${pkgs[@]}"; do [ "$p" = wine32:i386 ] || kept+=("$p"); done
    pkgs=("${kept[@]}")
  fi
  apt_retry install -y -qq --no-install-recommends "${pkgs[@]}" >/dev/null
fi
