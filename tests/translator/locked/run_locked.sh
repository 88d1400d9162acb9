#!/usr/bin/env bash
# Runs the translated TrLocked.exe through a copy of the launcher named
# after it and checks its exit code: 0x40 when every total its threads
# built through locked instructions was exact, 0x40 plus one bit per
# failed check otherwise (see guest/locked/trlocked.c). A lost update of a
# spinlock word leaves the threads spinning: the timeout catches that.
# Usage: run_locked.sh DEVICE_DIR RUNNER
set -u
device=$1 runner=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$device"/. "$work"/
rm -f "$work/trevik.txt"
cp "$device/TavrinW.exe" "$work/TrLocked.exe"

(cd "$work" && DEVICE_ROOT=$work DEVICE_PRESENTER=headless DEVICE_MSGBOX_LOG=$work/boxes.txt timeout 30 "$runner" ./TrLocked.exe) >"$work/out.txt" 2>&1
status=$?
failures=0
if [ "$status" != 64 ]; then
  echo "FAIL: exit code $status, expected 64"
  [ "$status" = 124 ] && echo "  the guest threads did not finish (a spinlock word lost its release?)"
  names=(xadd "add/inc/dec (32, 16, 8 bits)" "xchg and cmpxchg (spinlocks, update loop)" "sub/dec flags"
         bts/btr/btc adc/sbb)
  if [ $((status & 0xC0)) = 64 ]; then
    for bit in 0 1 2 3 4 5; do
      [ $((status & (1 << bit))) != 0 ] && echo "  wrong total: ${names[$bit]}"
    done
  fi
  failures=1
fi
if grep -qE "Unhandled exception|not translated|unknown function" "$work/trevik.txt" 2>/dev/null; then
  echo "FAIL: unexpected log lines"
  failures=1
fi
if [ "$failures" != 0 ]; then
  echo "--- log"; cat "$work/trevik.txt" 2>/dev/null; echo "--- output"; cat "$work/out.txt"
  exit 1
fi
echo "locked instructions run passed"
