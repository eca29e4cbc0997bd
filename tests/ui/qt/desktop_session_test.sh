#!/usr/bin/env bash
# The desktop program started as an ordinary user, as the menu entry starts it
# (no pkexec), shows its main window under Wayland (weston's headless
# backend, QT_QPA_PLATFORM=wayland) and under X11 (Xvfb).
# Usage: desktop_session_test.sh DISKTEST [ARGS...]
# As root the test runs the program as the user dt-helper-test (made when
# missing); otherwise as the calling user.
set -euo pipefail
program=$1
shift
title="Disk read speed"
fail() { echo "desktop session test: $*" >&2; exit 1; }

user=$(id -un)
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  user=dt-helper-test
  id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /bin/sh "$user"
  as_user=(runuser -u "$user" --)
fi
work=$(mktemp -d)
chmod 755 "$work"
cp "$program" "$work/disktest"
chmod 755 "$work/disktest"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to 60 s for a command to succeed.
wait_for() {
  for _ in $(seq 1200); do
    "$@" && return 0
    sleep 0.05
  done
  "$@"
}

# Wayland: the program's own protocol log shows the window getting its title
# and a buffer committed to its surface.
if command -v weston >/dev/null; then
  runtime="$work/xdg"
  mkdir -m 700 "$runtime"
  chown "$user" "$runtime"
  "${as_user[@]}" env -i PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$runtime" \
    weston --backend=headless-backend.so --socket=dt-test --idle-time=0 \
    >"$work/weston.log" 2>&1 &
  pids+=($!)
  wait_for test -S "$runtime/dt-test" || fail "weston did not start: $(cat "$work/weston.log")"
  "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$work" XDG_RUNTIME_DIR="$runtime" \
    WAYLAND_DISPLAY=dt-test QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client \
    "$work/disktest" "$@" >"$work/wayland.log" 2>&1 &
  app=$!
  pids+=($app)
  shown() {
    grep -q "set_title(\"$title" "$work/wayland.log" &&
      grep -q 'wl_surface@[0-9]*\.attach(wl_buffer@' "$work/wayland.log" &&
      grep -q 'wl_surface@[0-9]*\.commit()' "$work/wayland.log"
  }
  wait_for shown || fail "no main window under Wayland: $(grep -v '^\[' "$work/wayland.log" | head -20)"
  kill -0 "$app" 2>/dev/null || fail "the program ended under Wayland"
  kill "$app"
  echo "Wayland (weston headless): the main window is shown"
else
  echo "Wayland: no weston here, not tried"
fi

# X11: the window appears in the tree of the X server's root window.
if command -v Xvfb >/dev/null && command -v xwininfo >/dev/null; then
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -ac -screen 0 1024x768x24 >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  wait_for xwininfo -display "$display" -root >/dev/null 2>&1 || fail "Xvfb did not start"
  "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$work" DISPLAY="$display" \
    QT_QPA_PLATFORM=xcb "$work/disktest" "$@" >"$work/x11.log" 2>&1 &
  app=$!
  pids+=($app)
  mapped() { xwininfo -display "$display" -root -tree 2>/dev/null | grep -q "\"$title"; }
  wait_for mapped || fail "no main window under X11: $(head -20 "$work/x11.log")"
  kill -0 "$app" 2>/dev/null || fail "the program ended under X11"
  echo "X11 (Xvfb): the main window is shown"
fi
