#!/usr/bin/env bash
# Builds the fuzz targets with the "fuzz" preset (clang, libFuzzer, ASan +
# UBSan) and runs each target for a bounded time over its seed corpus
# (fuzz/corpus/<target>/). Fails when a target crashes or finds a fault; the
# failing input is kept in build/fuzz/artifacts/.
#
#   FUZZ_SECONDS   run time per target (default 60)
#   FUZZ_TARGETS   blank-separated subset of targets (default: every fuzz/*.cpp)
#   FUZZ_JOBS      targets run at once (default: the number of processors)
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
# One target per processor at a time: each is a single-threaded process.
jobs=${FUZZ_JOBS:-$(nproc)}
status=$(mktemp -d)
run_target() {
  local t=$1 exe="$build/fuzz/$1" work seeds=()
  if [ ! -x "$exe" ]; then
    echo "fuzz: no executable for target $t" >&2
    echo fail >"$status/$t"
    return
  fi
  # New inputs go to a scratch corpus; the seeds in the tree stay as they are.
  work=$(mktemp -d)
  [ -d "$here/corpus/$t" ] && seeds=("$here/corpus/$t")
  if "$exe" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$t-" "$work" "${seeds[@]}" >"$status/$t.log" 2>&1; then
    echo ok >"$status/$t"
  else
    echo fail >"$status/$t"
  fi
  rm -rf "$work"
}
running=0
for t in $targets; do
  echo "== $t: ${seconds}s"
  run_target "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait
failed=()
for t in $targets; do
  # A target's output is shown in full when it failed, its last lines else.
  if [ "$(cat "$status/$t" 2>/dev/null)" = ok ]; then
    echo "== $t"; tail -n 12 "$status/$t.log" 2>/dev/null || true
  else
    echo "== $t FAILED"; cat "$status/$t.log" 2>/dev/null || true
    failed+=("$t")
  fi
done
rm -rf "$status"

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failures in: ${failed[*]} (inputs in $build/artifacts)" >&2
  exit 1
fi
echo "fuzz: all targets ran ${seconds}s without a fault"
