#!/usr/bin/env bash
# The guest program with its own window procedure (guest/window) in the
# device's SDL window under Xvfb, with input from xdotool: its procedure's
# log must show the landscape start, WM_ACTIVATEAPP, a tap as a move then
# the press, a drag carrying MK_LBUTTON, the tap-and-hold played as the
# right button, a key with its scan code and character, and closing the
# host window as WM_CLOSE then WM_DESTROY; the window shows the landscape
# screen at twice its size.
# Usage: window_live.sh DEVICE_DIR RUN32 X_CLOSE
set -u
. "$(dirname "$0")/guest_run.sh"
. "$(dirname "$0")/xvfb.sh"
xvfb_start
guest_setup "$1" WinCheck
runner=$2 x_close=$3
log=$work/winlog.txt
(cd "$work" && DEVICE_ROOT="$work" DEVICE_PRESENTER=sdl DEVICE_AUDIO=null DEVICE_SCALE=2 \
   DEVICE_MSGBOX_LOG="$work/boxes.txt" timeout 120 "$runner" ./WinCheck.exe live) >"$work/out.txt" 2>&1 &
program=$!
xvfb_cleanup="kill $program 2>/dev/null"
window=$(timeout 60 xdotool search --sync --name '^Tavrin$' | head -1)
[ -n "$window" ] || { fail "no window"; guest_finish; }

# wait_log PATTERN: waits (up to 30 s) for a line of the procedure's log.
wait_log() {
  local i
  for i in $(seq 300); do
    grep -qE -- "$1" "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the procedure's log lacks /$1/"
  return 1
}
# Device point (x, y) in the window, shown at twice its size.
at() { echo $(($1 * 2)) $(($2 * 2)); }

wait_log '^msg 1c 1 '
xvfb_wait_size "$window" 640x480
import -window "$window" "$work/shot.png" 2>/dev/null
[ "$(identify -format '%wx%h' "$work/shot.png" 2>/dev/null)" = 640x480 ] || fail "the window is not the landscape screen at 2x"
xdotool mousemove --window "$window" $(at 10 20) click 1
wait_log '^msg 202 0 14000a'
xdotool mousemove --window "$window" $(at 30 40) mousedown 1 mousemove --window "$window" $(at 60 40) mouseup 1
wait_log '^msg 202 0 28003c'
xdotool mousemove --window "$window" $(at 100 50) mousedown 1
wait_log '^msg 204 0 320064'
xdotool mouseup 1
wait_log '^msg 205 0 320064'
xdotool key q
wait_log '^msg 102 71 '
"$runner" "$x_close" "$window"
wait "$program"
status=$?
[ "$status" = 0 ] || fail "exit code $status (a mask of the failed checks)"
python3 - "$log" <<'PY' || fail "the procedure's messages are not in the expected order"
import sys
lines = [l.strip() for l in open(sys.argv[1]) if l.strip()]
def first(prefix, after=-1):
    for i in range(after + 1, len(lines)):
        if lines[i].startswith(prefix):
            return i
    raise AssertionError("no %r after line %d: %s" % (prefix, after, lines))
assert lines[0] == "create 320 240", lines[:2]
app = first("msg 1c 1 ")
# The tap: the move to the point first, then the press and the lift.
down = first("msg 201 1 14000a", app)
assert lines[down - 1] == "msg 200 0 14000a", lines[down - 2:down + 1]
first("msg 202 0 14000a", down)
# The drag: moves with the left button held.
drag = first("msg 200 1 ", first("msg 201 1 28001e", down))
# Tap-and-hold: the notification arrives as a lift, then the press, the
# right button, the lift when the pen is raised and the right button's end.
hold_up = first("msg 202 0 320064", drag)
hold_down = first("msg 201 1 320064", hold_up)
right = first("msg 204 0 320064", hold_down)
first("msg 205 0 320064", first("msg 202 0 320064", right))
# Q with its scan code (16) and its character.
key = first("msg 100 51 100001", right)
first("msg 102 71 ", key)
close = first("msg 10 0 0", key)
first("msg 2 0 0", close)
assert lines[-1] == "end", lines[-3:]
PY
guest_check_clean
guest_finish "$log"
echo "window with real input passed: $(wc -l < "$log") messages"
