#!/usr/bin/env bash
# A mingw-built program using the kernel, registry, string and module
# services, started through the real launcher (named SvcCheck.exe, so it
# loads SvcCheck.em.dll) on a copy of the device folder. The program writes
# a line per check to svccheck.txt and exits with the number of failures.
# Usage: services.sh DEVICE_DIR RUNNER
set -u
device=$1 runner=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$device"/. "$work"/
rm -f "$work/trevik.txt" "$work/registry.dat"
cp "$device/TavrinW.exe" "$work/SvcCheck.exe"
(cd "$work" && DEVICE_ROOT=$work DEVICE_MSGBOX_LOG=$work/boxes.txt timeout 60 "$runner" ./SvcCheck.exe alpha beta) \
  >"$work/out.txt" 2>&1
status=$?
report=$work/svccheck.txt
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[ "$status" = 0 ] || fail "exit code $status (the number of failed checks)"
[ -f "$report" ] && [ "$(grep -c ' ok' "$report")" -ge 20 ] || fail "the report lacks checks"
[ -d "$work/svcdir" ] || fail "the program's folder was not created in the device root"
! grep -qE "unknown function|Unhandled exception|not translated" "$work/trevik.txt" || fail "unexpected log lines"
[ ! -s "$work/boxes.txt" ] || fail "unexpected boxes: $(cat "$work/boxes.txt")"
if [ "$failures" != 0 ]; then
  echo "--- report"; cat "$report" 2>/dev/null
  echo "--- log"; cat "$work/trevik.txt"; echo "--- output"; cat "$work/out.txt"
  exit 1
fi
cat "$report"; echo "services run passed: $(grep -c ' ok' "$report") checks"
