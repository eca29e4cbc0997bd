#!/usr/bin/env bash
# Builds the fuzz targets with the "fuzz" preset (clang, libFuzzer, ASan +
# UBSan) and runs each target for a bounded time over its seed corpus
# (fuzz/corpus/<target>/). Fails when a target crashes or finds a fault; the
# failing input is kept in build/fuzz/artifacts/.
#
#   FUZZ_SECONDS   run time per target (default 60)
#   FUZZ_TARGETS   blank-separated subset of targets (default: every fuzz/*.cpp)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
build="$root/build/fuzz"

cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target dt_fuzz_all

targets=${FUZZ_TARGETS:-}
if [ -z "$targets" ]; then
  for src in "$here"/*.cpp; do
    targets+=" $(basename "$src" .cpp)"
  done
fi

mkdir -p "$build/artifacts"
failed=()
for t in $targets; do
  exe="$build/fuzz/$t"
  if [ ! -x "$exe" ]; then
    echo "fuzz: no executable for target $t" >&2
    failed+=("$t")
    continue
  fi
  # New inputs go to a scratch corpus; the seeds in the tree stay as they are.
  work=$(mktemp -d)
  seeds=()
  [ -d "$here/corpus/$t" ] && seeds=("$here/corpus/$t")
  echo "== $t: ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$t-" "$work" "${seeds[@]}"; then
    failed+=("$t")
  fi
  rm -rf "$work"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failures in: ${failed[*]} (inputs in $build/artifacts)" >&2
  exit 1
fi
echo "fuzz: all targets ran ${seconds}s without a fault"
