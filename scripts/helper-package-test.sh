#!/usr/bin/env bash
# The installed package's helper path, as an ordinary user: with the polkit
# action io.github.disktest.helper granted (a rule file), disktest-cli reads a
# loop device through real pkexec and disktest-helper; without the grant it
# stops at once with the message and exit code 1. Needs root; called by
# package-test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/polkit-sandbox.sh
fail() { echo "helper package test: $*" >&2; exit 1; }
action=io.github.disktest.helper
helper=/usr/libexec/disktest/disktest-helper

work=$(mktemp -d)
loop=
cleanup() {
  [ -z "$loop" ] || losetup -d "$loop"
  polkit_sandbox_down
  rm -rf "$work"
}
trap cleanup EXIT
polkit_sandbox_up
truncate -s 16M "$work/disk.img"
loop=$(losetup -f --show "$work/disk.img")

polkit_sandbox_grant $action off $helper || fail "pkexec does not refuse the helper without the grant"
code=0
out=$(sandbox_as_user disktest-cli speed "$loop" --count 4 2>&1) || code=$?
[ $code -eq 1 ] || fail "without the grant: exit code $code: $out"
grep -q "disktest-cli needs administrator rights: run it as root, or allow the polkit action $action" <<<"$out" ||
  fail "without the grant: $out"
echo "--- without the grant: $(head -1 <<<"$out")"

polkit_sandbox_grant $action on $helper || fail "the rule does not grant the helper"
out=$(sandbox_as_user disktest-cli speed "$loop" --count 4 2>&1) || fail "speed through the helper: $out"
grep -q 'Errors: near 0, far 0' <<<"$out" || fail "speed through the helper: $out"
out=$(sandbox_as_user disktest-cli surface "$loop" 2>&1) || fail "surface through the helper: $out"
echo "--- an ordinary user's speed and surface runs through pkexec and the helper passed"
