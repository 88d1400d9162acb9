#!/usr/bin/env bash
# The device's SDL window in a real X server: what is drawn shows scaled,
# taps, drags, the right button and keys reach the device's windows in
# screen coordinates and virtual-key codes, closing the window closes the
# program's window, the landscape turn reshapes the window, message boxes
# are answered by taps, keys and closing the window.
# Usage: window.sh PROGRAM X_CLOSE RUN32
set -uo pipefail
program=$1 x_close=$2 runner=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../e2e/xvfb.sh"
xvfb_start

work=$(mktemp -d)
mkfifo "$work/in"
DEVICE_ROOT=$work DEVICE_PRESENTER=sdl DEVICE_AUDIO=null DEVICE_SCALE=2 DEVICE_MSGBOX_LOG=$work/boxes.txt \
  "$runner" "$program" <"$work/in" >"$work/out" 2>"$work/err" &
pid=$!
exec 3>"$work/in"
xvfb_cleanup="exec 3>&-; kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf '$work'"
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Waits (up to 20 s) for a line of the program's output.
wait_output() {
  local i
  for i in $(seq 400); do
    grep -qx "$1" "$work/out" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  fail "no '$1' from the program; it wrote: $(tr '\n' '|' <"$work/out") $(tail -3 "$work/err")"
  return 1
}
say() { echo "$1" >&3; }

shoot() { import -window "$wid" -type TrueColor "BMP3:$work/shot.bmp" 2>/dev/null; }
# Waits (up to 20 s) until the window shows these pixels (host coordinates).
wait_shot() {
  local what=$1 until=$((SECONDS + 20))
  shift
  while [ "$SECONDS" -le "$until" ]; do
    shoot && python3 "$here/shot.py" check "$work/shot.bmp" "$@" >/dev/null && return 0
    sleep 0.1
  done
  fail "$what: $(python3 "$here/shot.py" size "$work/shot.bmp" 2>/dev/null) $(python3 "$here/shot.py" check "$work/shot.bmp" "$@" | head -2 | tr '\n' ' ')"
  return 1
}
tap() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }
key() { xdotool windowfocus --sync "$wid" key "$1"; }

wait_output ready || exit 1
say draw
wait_output "done draw" || exit 1
wid=$(timeout 20 xdotool search --sync --name '^Tavrin$' | head -1)
[ -n "$wid" ] || { fail "no window named Tavrin"; exit 1; }

# Portrait, 2x: 480x640; the red block at (10,10)-(50,40) covers host (20,20)-(100,80).
blue=0,0,255 red=255,0,0 green=0,255,0 white=255,255,255 black=0,0,0
wait_shot "portrait picture" 20,20=$red 99,79=$red 100,80=$blue 479,639=$blue 0,0=$blue 19,19=$blue \
  120,120=$black 150,125=$white
[ "$(python3 "$here/shot.py" size "$work/shot.bmp")" = 480x640 ] || fail "portrait window is not 480x640"

# The pen, in screen coordinates through the scale, to the window under it
# (the probe at (0, 200): its own coordinates), keys as virtual-key codes
# to the foreground window, closing the window as WM_CLOSE.
tap 101 501 && wait_output "pen down 50 50" && wait_output "pen up 50 50"
xdotool mousemove --window "$wid" 40 440 mousedown 1 mousemove --window "$wid" 140 460 mouseup 1
wait_output "pen down 20 20" && wait_output "pen move 70 30" && wait_output "pen up 70 30"
xdotool mousemove --window "$wid" 201 561 click 3  # the right button: the held press, at once
wait_output "pen down 100 80" && wait_output "pen up 100 80"
key a && wait_output "key down 41" && wait_output "key up 41"
key F5 && wait_output "key down 74"
key Shift_L && wait_output "key down 10"
key Down && wait_output "key down 28"
"$runner" "$x_close" "$wid" && wait_output "close"

say landscape
wait_output "done landscape"
wait_shot "landscape picture" 560,400=$green 619,459=$green 639,479=$blue 20,20=$red
[ "$(python3 "$here/shot.py" size "$work/shot.bmp")" = 640x480 ] || fail "landscape window is not 640x480"
say portrait
wait_output "done portrait"
wait_shot "back to portrait" 479,639=$blue 20,20=$red

# Message boxes: the box is centred, 224 pixels wide, its buttons along
# its bottom; "Yes" centred at x 66, "No" at x 174 (screen pixels).
box_open() {
  say box
  wait_shot "box shown" 240,320=$white || return 1
  local bottom
  bottom=$(python3 "$here/shot.py" lowest-dark "$work/shot.bmp" 348) || { fail "no box frame"; return 1; }
  button_y=$((bottom - 24))  # 12 screen pixels above the box's bottom edge: inside the buttons
}
boxes=0
answered() {
  local i got=
  boxes=$((boxes + 1))
  for i in $(seq 400); do
    got=$(grep '^answer ' "$work/out" | sed -n "${boxes}p")
    [ -n "$got" ] && break
    sleep 0.05
  done
  [ "$got" = "answer $1" ] || fail "box $boxes answered '$got', expected $1"
  wait_shot "box $boxes gone" 240,320=$blue
}
box_open && key Return && answered 6      # Enter: the default button, Yes
box_open && key Right && key Return && answered 7
box_open && key Escape && answered 7      # Escape: No, the box has no Cancel
box_open && tap 348 "$button_y" && answered 7
box_open && tap 132 "$button_y" && answered 6
box_open && { "$runner" "$x_close" "$wid" || fail "x_close"; } && answered 7
# Closing the window answered the box and then closed the game's window.
[ "$(grep -c '^close$' "$work/out")" = 2 ] || fail "closing with a box open did not close the window"

[ "$(grep -c '^\[Question\] Go on?$' "$work/boxes.txt")" = 6 ] || fail "box log: $(cat "$work/boxes.txt")"

say quit
wait "$pid"
status=$?
[ "$status" = 0 ] || fail "the program ended with $status"
[ "$failures" = 0 ] && echo "PASS" && exit 0
exit 1
