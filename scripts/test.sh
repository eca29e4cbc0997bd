#!/usr/bin/env bash
# Installs everything, builds every configuration and runs every test:
# Linux (unit, GUI offscreen, system tests on loop devices and FUSE, peers),
# ThreadSanitizer, AddressSanitizer + UndefinedBehaviorSanitizer, the Windows
# 32-bit cross build under Wine, the Qt 5 compile check and the fuzz targets
# for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
step() { echo; echo "=== $* ($(( $(date +%s) - start ))s)"; }

step "installing packages"
bash scripts/install-deps.sh test

step "Linux build"
cmake --preset default >/dev/null
cmake --build --preset default
step "Linux tests"
ctest --preset default
step "Debian package: build, install, run, remove"
bash scripts/package-test.sh deb

step "ThreadSanitizer build and tests"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan

step "AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

step "Windows 32-bit cross build"
cmake --preset win32 >/dev/null
export WINEDEBUG=-all
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  cmake --build --preset win32
  step "Windows tests under Wine"
  ctest --preset win32
else
  # Some kernels run no 32-bit programs (no IA-32 emulation): the 32-bit
  # programs are built (and checked to import only system DLLs), and the
  # tests run as a 64-bit Windows build under 64-bit Wine.
  cmake --build --preset win32 --target disktest disktest-cli
  ctest --preset win32 -R disktest_exe_imports
  step "Windows tests: this machine cannot run 32-bit programs; 64-bit build and tests under 64-bit Wine"
  cmake --preset win64 >/dev/null
  cmake --build --preset win64
  ctest --preset win64
fi
step "Windows zip"
bash scripts/package-test.sh win32

if [ -f src/ui/qt/CMakeLists.txt ]; then
  step "GUI compile check against Qt 5.15"
  cmake --preset qt5 >/dev/null
  # Only the Qt program and what it links: the rest does not use Qt.
  cmake --build --preset qt5 --target disktest chart_refresh
fi

if [ -x fuzz/run_all.sh ]; then
  step "fuzz targets"
  FUZZ_SECONDS=${FUZZ_SECONDS:-40} bash fuzz/run_all.sh
fi

step "all done"
