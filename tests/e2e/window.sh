#!/usr/bin/env bash
# A mingw-built program with its own window procedure, started through the
# real launcher named WinCheck.exe. Checks the exit code (a mask of the
# program's failed checks) and the order of what its procedure received:
# WM_CREATE after the display turned (320 x 240), WM_ACTIVATE before
# WM_ACTIVATEAPP, the pen arriving before the press, the key with its scan
# code and its character, then WM_CLOSE and WM_DESTROY. A second run has
# the procedure write through a null pointer: the fault ends the program
# the orderly way (the exception box, no hang) inside the window bridge.
# Usage: window.sh DEVICE_DIR RUNNER
set -u
. "$(dirname "$0")/guest_run.sh"
guest_setup "$1" WinCheck
guest_run "$2"
log=$work/winlog.txt
[ "$status" = 0 ] || fail "exit code $status (a mask of the failed checks)"
python3 - "$log" <<'PY' || fail "the window procedure's messages are not as expected"
import sys
lines = [l.strip() for l in open(sys.argv[1]) if l.strip()]
def at(line):
    assert line in lines, (line, lines)
    return lines.index(line)
assert lines[0] == "create 320 240", lines[:3]
activate = next(i for i, l in enumerate(lines) if l.startswith("msg 6 1 "))
app = next(i for i, l in enumerate(lines) if l.startswith("msg 1c 1 "))
assert activate < app, lines
move, down = at("msg 200 0 14000a"), at("msg 201 1 14000a")
assert move == down - 1, lines
key, char = at("msg 100 51 100001"), at("msg 102 71 1")
close, destroy = at("msg 10 0 0"), at("msg 2 0 0")
assert app < move < key < char < close < destroy, lines
assert lines[-1] == "end", lines[-3:]
PY
guest_check_clean
guest_finish "$log"
messages=$(wc -l < "$log")

guest_run "$2" -- fault
# Reported once: the runs the fault passes on its way out do not offer it
# to the guest again.
[ "$(grep -c "Unhandled exception C0000005" "$work/trevik.txt")" = 1 ] || fail "the fault was not reported once"
grep -qx "\[Exception\] Unhandled Exception" "$work/boxes.txt" || fail "no exception box"
[ "$(tail -n1 "$log" | tr -d '\r')" = "msg 400 0 0" ] || fail "the program went on after its fault"
guest_finish "$log"
echo "window run passed: $messages messages; the faulting procedure ended the program"
