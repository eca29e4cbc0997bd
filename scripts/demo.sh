#!/usr/bin/env bash
# Installs what the program needs, builds it and runs its main job on the
# built-in simulated machine: the disk lists, then a read-speed test of the
# simulated disk 0.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh run
cmake --preset default -DDT_BUILD_TESTS=OFF >/dev/null
cmake --build --preset default
./build/default/src/cli/disktest-cli --demo list
