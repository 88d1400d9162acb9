#!/usr/bin/env bash
# A mingw-built program using sockets through the sockets module (imports
# from plinth32.dll by name and by ordinal), started through the real
# launcher named SockCheck.exe. The program writes a line per check to
# sockcheck.txt and exits with the number of failures; the module logs the
# functions the device does not provide.
# Usage: sockets.sh DEVICE_DIR RUNNER
set -u
. "$(dirname "$0")/guest_run.sh"
guest_setup "$1" SockCheck
guest_run "$2"
report=$work/sockcheck.txt
log=$work/trevik.txt
[ "$status" = 0 ] || fail "exit code $status (the number of failed checks)"
[ -f "$report" ] && [ "$(grep -c ' ok' "$report")" -ge 13 ] || fail "the report lacks checks"
grep -qx "not implemented func getservbynamecalled" "$log" || fail "the log lacks getservbyname's line"
grep -qE "^Module: 'PLINTH32', Base: [0-9A-F]{8}, Len: [0-9A-F]{8}, Fixup: 00000000$" "$log" ||
  fail "the sockets module was not registered"
guest_check_clean "Cannot load DLL 'plinth32"
guest_finish "$report"
cat "$report"
echo "sockets run passed: $(grep -c ' ok' "$report") checks"
