#!/usr/bin/env bash
# Installs what the program needs, builds it and runs its main job on the
# built-in simulated machine: the read-speed test. With a display the Qt
# program opens (disktest --demo); without one the command-line program lists
# the simulated disks and runs a read-speed test over the first quarter of
# the simulated disk with bad sectors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh run
cmake --preset default -DDT_BUILD_TESTS=OFF >/dev/null
cmake --build --preset default
if [ -n "${DISPLAY:-}" ] && [ -x build/default/src/ui/qt/disktest ]; then
  exec ./build/default/src/ui/qt/disktest --demo
fi
./build/default/src/ui/cli/disktest-cli --demo list
./build/default/src/ui/cli/disktest-cli --demo speed 1 --count 100 --to 25% || true
