#!/usr/bin/env bash
# A mingw-built program using sockets through the sockets module (imports
# from plinth32.dll by name and by ordinal), started through the real
# launcher named SockCheck.exe on a copy of the device folder. The program
# writes a line per check to sockcheck.txt and exits with the number of
# failures; the module logs the functions the device does not provide.
# Usage: sockets.sh DEVICE_DIR RUNNER
set -u
device=$1 runner=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$device"/. "$work"/
rm -f "$work/trevik.txt"
cp "$device/TavrinW.exe" "$work/SockCheck.exe"
(cd "$work" && DEVICE_ROOT=$work DEVICE_MSGBOX_LOG=$work/boxes.txt timeout 60 "$runner" ./SockCheck.exe) \
  >"$work/out.txt" 2>&1
status=$?
report=$work/sockcheck.txt
log=$work/trevik.txt
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[ "$status" = 0 ] || fail "exit code $status (the number of failed checks)"
[ -f "$report" ] && [ "$(grep -c ' ok' "$report")" -ge 13 ] || fail "the report lacks checks"
grep -qx "not implemented func getservbynamecalled" "$log" || fail "the log lacks getservbyname's line"
grep -qE "^Module: 'PLINTH32', Base: [0-9A-F]{8}, Len: [0-9A-F]{8}, Fixup: 00000000$" "$log" ||
  fail "the sockets module was not registered"
! grep -qiE "unknown function|Unhandled exception|not translated|Cannot load DLL 'plinth32" "$log" || fail "unexpected log lines"
[ ! -s "$work/boxes.txt" ] || fail "unexpected boxes: $(cat "$work/boxes.txt")"
if [ "$failures" != 0 ]; then
  echo "--- report"; cat "$report" 2>/dev/null
  echo "--- log"; cat "$log"; echo "--- output"; cat "$work/out.txt"
  exit 1
fi
cat "$report"
echo "sockets run passed: $(grep -c ' ok' "$report") checks"
