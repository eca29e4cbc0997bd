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
  qt6-base-dev qt6-charts-dev libqt6charts6-dev libqt6opengl6-dev libgl-dev fonts-liberation2
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
$SUDO apt-get update -qq
if [ "$what" = test ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${run_pkgs[@]}" "${test_pkgs[@]}" >/dev/null
else
  $SUDO apt-get install -y -qq --no-install-recommends "${run_pkgs[@]}" >/dev/null
fi
