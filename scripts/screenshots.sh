#!/usr/bin/env bash
# Screenshots of every window of a disktest desktop program, for comparing two
# builds pixel by pixel.
#
#   screenshots.sh PROGRAM OUTDIR
#   screenshots.sh --compare OUTDIR_A OUTDIR_B DIFFDIR
#
# PROGRAM is the Qt program (build/default/src/ui/qt/disktest) or the Windows
# program (build/win64/src/ui/win32/disktest.exe, run under 64-bit Wine). Each
# scene starts the program afresh on its own Xvfb display, on a simulated
# machine whose clock is virtual (so a run finds and draws the same every
# time), opens windows with clicks at the controls' places in the window
# descriptions (src/app/*_form.cpp, src/speedtest/*_form.cpp,
# src/surface/surface_window_form.cpp), waits until each is shown and no
# longer changes, and writes OUTDIR/<window>.png and its title to
# OUTDIR/titles.txt. The clocks and the printing dates are painted over in
# magenta first, so that two builds' pictures are equal when nothing visible
# changed; OUTDIR/raw/ keeps the pictures as shown.
#
# --compare prints the number of differing pixels (ImageMagick's
# "compare -metric AE") of every picture of OUTDIR_A against OUTDIR_B, writes
# a picture of the differences for each one that differs to DIFFDIR, and
# compares the titles; it fails when anything differs.
#
# Environment: WINE (default /usr/lib/wine/wine64), WINEPREFIX (default
# ~/.cache/disktest-screens/wineprefix-64, made on first use), DEADLINE (seconds
# to wait for any one window or run, default 120), KEEP (set: keep the work
# folder, with the program's output, and name it), SCENES (the scenes to run,
# by the last word of the names the run prints, e.g. "main time-view
# surface_read"; default all).
set -euo pipefail

if [ "${1:-}" = --compare ]; then
  [ $# -eq 4 ] || { echo "usage: $0 --compare OUTDIR_A OUTDIR_B DIFFDIR" >&2; exit 2; }
  a=$2 b=$3 diffs=$4 status=0
  mkdir -p "$diffs"
  printf '%-24s %s\n' window AE
  for file in "$a"/*.png; do
    name=$(basename "$file" .png)
    if [ ! -f "$b/$name.png" ]; then
      printf '%-24s %s\n' "$name" "missing in $b"
      status=1
      continue
    fi
    ae=$(compare -metric AE "$file" "$b/$name.png" "$diffs/$name.png" 2>&1) || true
    printf '%-24s %s\n' "$name" "$ae"
    if [ "$ae" = 0 ]; then rm -f "$diffs/$name.png"; else status=1; fi
  done
  for file in "$b"/*.png; do
    [ -f "$a/${file##*/}" ] || { printf '%-24s %s\n' "$(basename "$file" .png)" "missing in $a"; status=1; }
  done
  diff "$a/titles.txt" "$b/titles.txt" >"$diffs/titles.diff" && rm "$diffs/titles.diff" || {
    echo "titles differ:"
    cat "$diffs/titles.diff"
    status=1
  }
  exit "$status"
fi

[ $# -eq 2 ] || { echo "usage: $0 PROGRAM OUTDIR | --compare OUTDIR_A OUTDIR_B DIFFDIR" >&2; exit 2; }
prog=$(realpath "$1")
out=$2
mkdir -p "$out/raw"
out=$(realpath "$out")
rm -f "$out/titles.txt"
deadline=${DEADLINE:-120}
case "$prog" in
  *.exe) toolkit=win32 ;;
  *) toolkit=qt ;;
esac

for tool in Xvfb xdotool xwininfo import compare convert; do
  command -v "$tool" >/dev/null ||
    { echo "$tool is missing (apt-get install xvfb xdotool x11-utils imagemagick)" >&2; exit 2; }
done

work=$(mktemp -d)
[ -n "${KEEP:-}" ] && echo "work folder: $work" >&2
xvfb_pid=""
app_pid=""

die() {
  echo "screenshots.sh: $*" >&2
  exit 1
}

stop_app() {
  if [ -n "$app_pid" ]; then
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
  fi
}

cleanup() {
  stop_app
  if [ "$toolkit" = win32 ]; then "${WINE%64}server" -k 2>/dev/null || true; fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# Runs "$@" until it succeeds, every 0.2 s, for at most $deadline seconds.
poll() {
  local end=$((SECONDS + deadline))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.2
  done
}

# --- The display, the locale and the machine --------------------------------

export LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=UTC
export QT_QPA_PLATFORM=xcb QT_AUTO_SCREEN_SCALE_FACTOR=0 QT_SCALE_FACTOR=1 NO_AT_BRIDGE=1
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_STYLE_OVERRIDE QT_FONT_DPI XAUTHORITY WAYLAND_DISPLAY

Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
poll test -s "$work/display" || die "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
root=$(xwininfo -root | awk '/Window id:/ {print $4}')

# The built-in demo machine, with a virtual clock, and with the disk that has
# unreadable sectors first, so that the logical drive chosen at start (C) has
# errors to list and the first physical disk has SMART data to show.
machine=$work/machine.json
cat >"$machine" <<'EOF'
{
  "realtime": false,
  "disks": [
    {"size": 2147483648, "capture": "builtin:samsung_hd501lj",
     "speed": {"start_mbps": 85, "end_mbps": 47, "latency_ms": 0.15},
     "unreadable": [[1000000, 1000007], [2500000, 2500000], [3000000, 3000063]],
     "unwritable": [[3000000, 3000015]]},
    {"size": 6442450944, "capture": "builtin:st9100821as", "access_ms": 12.5,
     "speed": {"start_mbps": 110, "end_mbps": 58, "latency_ms": 0.12}},
    {"size": 1073741824, "speed": {"start_mbps": 32, "end_mbps": 30, "latency_ms": 0.6}}
  ],
  "volumes": [
    {"name": "C", "label": "SYSTEM", "fs": "NTFS", "disk": 0, "offset": 32256, "size": 2147418624},
    {"name": "D", "label": "DATA", "fs": "FAT32", "disk": 1, "offset": 1048576, "size": 4294967296},
    {"name": "E", "label": "DEMO_CD", "fs": "CDFS", "size": 681574400}
  ]
}
EOF

if [ "$toolkit" = win32 ]; then
  export WINE=${WINE:-/usr/lib/wine/wine64}
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/disktest-screens/wineprefix-64}
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >"$work/wineboot.log" 2>&1
  fi
  # Windows without a window manager: Wine draws their frames itself.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "${WINE%64}server" -p 2>/dev/null || true
  machine_arg="Z:${machine//\//\\}"
else
  machine_arg=$machine
fi

# --- Windows -----------------------------------------------------------------

# Where a window's client area starts in its picture: Qt's pictures are the
# client area; Wine's windows carry the frame it draws (border, caption).
# Indexed by the window's border kind (src/forms/form.h, Border).
declare -A frame_left frame_top
if [ "$toolkit" = win32 ]; then
  frame_left=([sizeable]=4 [fixed]=3 [dialog]=3)
  frame_top=([sizeable]=23 [fixed]=22 [dialog]=22)
else
  frame_left=([sizeable]=0 [fixed]=0 [dialog]=0)
  frame_top=([sizeable]=0 [fixed]=0 [dialog]=0)
fi

launch() {
  stop_app
  (cd "$work" && exec ${WINE:+"$WINE"} "$prog" --sim "$machine_arg" >>"$work/app.log" 2>&1) &
  app_pid=$!
}

visible_windows() {
  xdotool search --onlyvisible --name '.*' 2>/dev/null | sort -n || true
}

# Prints the id of a shown window whose title matches the regex $1 and that
# is not among the ids in $2.
find_window() {
  local id
  for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
    grep -qx "$id" <<<"${2:-}" || { echo "$id"; return 0; }
  done
  return 1
}

# Waits for that window; sets $wid.
wait_window() {
  local what=$1 seen=${2:-} found=""
  local end=$((SECONDS + deadline))
  until found=$(find_window "$what" "$seen"); do
    ((SECONDS < end)) || die "no window '$what' within ${deadline}s"
    kill -0 "$app_pid" 2>/dev/null || die "the program ended: $(tail -n5 "$work/app.log")"
    sleep 0.2
  done
  wid=$(head -n1 <<<"$found")
}

# Where the pointer rests between clicks, over no control. Qt: the free
# corner of the screen (every window is placed from 1,1). Wine sees the
# pointer only over its own windows and would keep the place of the last
# click (a window opened over it, such as the surface map, would then show
# what lies under it): it rests on a caption instead, that of the windows
# placed at 1,1 or, above the centred dialogs, the main window's.
if [ "$toolkit" = win32 ]; then park=(150 10); else park=(0 0); fi

# Clicks at the client point x,y of window $wid with border kind $border,
# then parks the pointer.
click() {
  xdotool mousemove --window "$wid" $(($1 + frame_left[$border])) $(($2 + frame_top[$border])) \
    click 1 mousemove "${park[@]}"
}

# Closes window $1 and waits until it is gone: Escape closes a Qt dialog;
# a Wine window closes with the close box that Wine draws at the right end of
# its caption.
close_window() {
  if [ "$toolkit" = win32 ]; then
    local width
    width=$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^WIDTH=//p')
    xdotool mousemove --window "$1" $((width - 15)) 12 click 1 mousemove "${park[@]}"
  else
    xdotool windowfocus "$1" key Escape
  fi
  gone() { ! xdotool search --onlyvisible --name '.*' 2>/dev/null | grep -qx "$1"; }
  poll gone "$1" || die "window $1 did not close"
}

# Centre of a control given as x y w h.
click_control() {
  click $(($1 + $3 / 2)) $(($2 + $4 / 2))
}

# The window's picture with the rectangles "x y w h" (client coordinates) of
# $masks painted over.
snap() {
  local file=$1 draw=() r
  import -window "$wid" "$file.raw.png" 2>/dev/null || return 1
  for r in "${masks[@]}"; do
    set -- $r
    local x=$(($1 + frame_left[$border])) y=$(($2 + frame_top[$border]))
    draw+=(-draw "rectangle $x,$y,$((x + $3 - 1)),$((y + $4 - 1))")
  done
  convert "$file.raw.png" -fill magenta "${draw[@]}" "$file"
}

same() {
  [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = 0 ]
}

# The focus goes to the root window: no window is active, so no caret blinks
# in an edit, and every picture shows its window inactive. Wine makes a
# window it shows active a moment after it appears, so every picture is
# taken after a fresh defocus.
defocus() {
  xdotool windowfocus "$root"
}

# Wine may make a new window active with a focus request that the X server
# drops as older than the last defocus: the window then shows an active
# caption, and no defocus reaches it as it never had the X focus. Giving it
# the focus first makes the defocus that follows take.
activate() {
  if [ "$toolkit" = win32 ]; then xdotool windowfocus "$wid"; fi
}

# Waits until three pictures of window $wid taken in a row are the same: the
# window has been painted and nothing in it moves any more. The last one is
# left in $work/shot.png, as shown in $work/shot.png.raw.png.
settle() {
  local n=0 a=$work/shot.png b=$work/next.png
  local end=$((SECONDS + deadline))
  activate
  until defocus && snap "$a"; do ((SECONDS < end)) || die "no picture of window $wid"; sleep 0.2; done
  while ((n < 2)); do
    ((SECONDS < end)) || die "window $wid kept changing for ${deadline}s"
    sleep 0.4
    defocus
    snap "$b" || continue
    if same "$a" "$b"; then n=$((n + 1)); else n=0; fi
    mv "$b" "$a"
    mv "$b.raw.png" "$a.raw.png"
  done
}

# Writes the settled picture of window $wid to OUTDIR/$1.png, and its title to
# OUTDIR/titles.txt (Qt's pictures have no caption).
capture() {
  settle
  mv "$work/shot.png" "$out/$1.png"
  mv "$work/shot.png.raw.png" "$out/raw/$1.png"
  printf '%s\t%s\n' "$1" "$(xdotool getwindowname "$wid")" >>"$out/titles.txt"
  echo "$1"
}

# --- The main window and what it opens ---------------------------------------

# Control places of the main window (src/app/main_window_form.cpp).
START=(120 40 41 41)
PHYSICAL=(172 64 90 17)
GET_SMART=(96 24 65 17)
SURFACE=(0 96 97 17)
SPEED_SETUP=(264 16 81 17)
SPEED_PREVIEW=(264 32 81 17)
TIME_PREVIEW=(345 32 75 17)
TIME_VIEW=(345 64 75 17)
MAIN_CLOCK="568 0 57 17"
# The range dialog (src/speedtest/range_dialog_form.cpp).
RANGE_OK=(136 120 75 25)
# The SMART window (src/app/smart_window_form.cpp).
SMART_PREVIEW=(112 1 75 25)
SMART_FONT=(352 1 75 25)
SMART_CLOCK="536 1 81 25"
# The surface test window (src/surface/surface_window_form.cpp).
SURFACE_START=(93 4 90 33)
SURFACE_ERRORS_LOG=(93 60 90 21)
MAP_ELEMENT=(18 98)  # the map starts at 0,85 (src/surface/surface_map.h)
# The errors window and the time chart (src/speedtest/*_form.cpp).
ERRORS_CLOCK="0 0 73 17"
TIME_CLOCK="568 0 57 17"
# The printing date in the previews' page headers, where each toolkit's
# preview shows it at the size it opens with (src/speedtest/report_forms.cpp,
# src/ata/smart_report_form.cpp: QRSysData1).
if [ "$toolkit" = win32 ]; then
  REPORT_DATE="40 78 200 25"
  SMART_REPORT_DATE="660 78 150 25"
else
  REPORT_DATE="70 100 200 25"
  SMART_REPORT_DATE="640 100 135 25"
fi

MAIN_TITLE='^Disk read speed'

open_main() {
  launch
  wait_window "$MAIN_TITLE"
  main=$wid
  border=sizeable
  masks=("$MAIN_CLOCK")
}

# Opens the window that a click on control $@ of window $wid brings, and
# leaves it in $wid with border kind $next_border.
open_from() {
  local before
  before=$(visible_windows)
  click_control "$@"
  wait_window '.*' "$before"
  border=$next_border
}

# A read-speed run over the whole of drive C with the settings at start:
# Start, then Ok in the range dialog. The drive has unreadable sectors, so the
# run ends by showing the errors window; it is left in $errors (and $wid).
read_speed_run() {
  settle
  cp "$work/shot.png" "$work/before.png"
  next_border=dialog open_from "${START[@]}"
  local before
  before=$(visible_windows)
  click_control "${RANGE_OK[@]}"
  wait_window '^Errors$' "$before"
  errors=$wid
  border=sizeable
  masks=("$ERRORS_CLOCK")
}

# Waits until control "x y w h" of window $wid looks as in picture $1 again
# while the window as a whole no longer does: a run has ended (its button
# shows Start again) and drawn what it found.
wait_run_end() {
  local before=$1 r=($2)
  local crop="${r[2]}x${r[3]}+$((r[0] + frame_left[$border]))+$((r[1] + frame_top[$border]))"
  convert "$before" -crop "$crop" +repage "$work/idle.png"
  activate
  ended() {
    defocus
    snap "$work/now.png" || return 1
    convert "$work/now.png" -crop "$crop" +repage "$work/button.png"
    same "$work/button.png" "$work/idle.png" && ! same "$work/now.png" "$before"
  }
  poll ended || die "the run did not end within ${deadline}s"
}

# Closes the errors window (it is modal) and waits until the main window
# shows the ended run.
after_run() {
  close_window "$errors"
  wid=$main border=sizeable masks=("$MAIN_CLOCK")
  wait_run_end "$work/before.png" "${START[*]}"
}

# Opens the surface test window; sets its clock's mask: the clock sits at the
# right edge of the client area, never left of 580
# (src/surface/surface_window_form.cpp). The window opens under the pointer
# that clicked, and the map tells about the element under the pointer; Wine
# may or may not pass the click's place on to the new window, before or after
# the window clears the map, so once the window has settled the pointer goes
# over one element of the map, the second of the second row, and stays until
# the window has settled again, before it rests.
open_surface() {
  next_border=fixed open_from "${SURFACE[@]}"
  local width
  width=$(xdotool getwindowgeometry --shell "$wid" | sed -n 's/^WIDTH=//p')
  local cw=$((width - 2 * frame_left[fixed]))
  masks=("$((cw - 59 > 580 ? cw - 59 : 580)) 2 57 17")
  settle
  xdotool mousemove --window "$wid" $((MAP_ELEMENT[0] + frame_left[fixed])) \
    $((MAP_ELEMENT[1] + frame_top[fixed]))
  settle
  xdotool mousemove "${park[@]}"
}

# --- Scenes ------------------------------------------------------------------
# Each starts the program afresh; one that fails is reported and the others
# still run.

scene_main() {
  open_main
  capture main
}

scene_range() {
  open_main
  next_border=dialog open_from "${START[@]}"
  masks=()
  capture range
}

scene_read_speed_run() {
  open_main
  read_speed_run
  capture errors
  after_run
  capture main-after-run
}

# A window that the main window opens after a read-speed run: $1 its name,
# $2 its border kind, $3 its mask, then the control that opens it.
scene_after_run() {
  local name=$1 kind=$2 mask=$3
  shift 3
  open_main
  read_speed_run
  after_run
  next_border=$kind open_from "$@"
  masks=(${mask:+"$mask"})
  capture "$name"
}

scene_smart() {
  open_main
  click_control "${PHYSICAL[@]}"
  capture main-physical
  next_border=sizeable open_from "${GET_SMART[@]}"
  masks=("$SMART_CLOCK")
  capture smart
}

# A window that the SMART window opens: $1 its name, $2 its border kind, $3
# its mask, then the control that opens it.
scene_from_smart() {
  local name=$1 kind=$2 mask=$3
  shift 3
  open_main
  click_control "${PHYSICAL[@]}"
  next_border=sizeable open_from "${GET_SMART[@]}"
  masks=("$SMART_CLOCK")
  settle
  next_border=$kind open_from "$@"
  masks=(${mask:+"$mask"})
  capture "$name"
}

scene_surface() {
  open_main
  open_surface
  capture surface
}

# A read test of drive C in the surface test window, then its errors log.
scene_surface_read() {
  open_main
  open_surface
  settle
  cp "$work/shot.png" "$work/before.png"
  click_control "${SURFACE_START[@]}"
  wait_run_end "$work/before.png" "${SURFACE_START[*]}"
  capture surface-after-read
  next_border=sizeable open_from "${SURFACE_ERRORS_LOG[@]}"
  masks=("$ERRORS_CLOCK")
  capture surface-errors-log
}

failed=()
run_scene() {
  local name="${1#scene_}${2:+ $2}"
  if [ -n "${SCENES:-}" ] && ! grep -qw -- "${2:-${1#scene_}}" <<<"$SCENES"; then return; fi
  echo "--- $name" >&2
  (
    trap stop_app EXIT
    "$@"
  ) || failed+=("$name")
}

run_scene scene_main
run_scene scene_range
run_scene scene_read_speed_run
run_scene scene_after_run time-view sizeable "$TIME_CLOCK" "${TIME_VIEW[@]}"
run_scene scene_after_run speed-preview sizeable "$REPORT_DATE" "${SPEED_PREVIEW[@]}"
run_scene scene_after_run time-preview sizeable "$REPORT_DATE" "${TIME_PREVIEW[@]}"
run_scene scene_after_run speed-printer-setup dialog "" "${SPEED_SETUP[@]}"
run_scene scene_smart
run_scene scene_from_smart smart-preview sizeable "$SMART_REPORT_DATE" "${SMART_PREVIEW[@]}"
run_scene scene_from_smart smart-font dialog "" "${SMART_FONT[@]}"
run_scene scene_surface
run_scene scene_surface_read

if ((${#failed[@]})); then
  echo "screenshots.sh: not captured: ${failed[*]}" >&2
  exit 1
fi
