#!/usr/bin/env bash
# The translated pair through the real launcher: a copy of the device
# folder where the launcher is named TrAccept.exe, so it loads
# TrAccept.em.dll, which binds TRDLL.em.dll (entered first) and the API
# table, and TRMOVED.em.dll, which wants TRDLL's base and is moved.
# Checks the exit code and the log.
# Usage: run_accept.sh DEVICE_DIR RUNNER
set -u
device=$1 runner=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$device"/. "$work"/
rm -f "$work/trevik.txt"
cp "$device/TavrinW.exe" "$work/TrAccept.exe"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$work" && DEVICE_ROOT=$work DEVICE_PRESENTER=headless DEVICE_MSGBOX_LOG=$work/boxes.txt timeout 60 "$runner" ./TrAccept.exe) >"$work/out.txt" 2>&1
status=$?
# 0x40: every check inside the guest passed; other bits name the failures.
[ "$status" = 64 ] || fail "exit code $status, expected 64 (guest checks failed: $((status & 0x3F)))"

log=$work/trevik.txt
line_of() { grep -nE -- "$1" "$log" | head -1 | cut -d: -f1; }
for pattern in "^TrAccept\.em: [0-9A-F]{8} - " "^TRACCEPT located at preferred address 00400000$" \
  "^TRDLL\.em: [0-9A-F]{8} - " "^TRDLL located at preferred address 10000000$" \
  "^Module: 'TRDLL', Base: 10000000, Len: [0-9A-F]{8}, Fixup: 00000000$" \
  "^Module: 'TRACCEPT', Base: 00400000, Len: [0-9A-F]{8}, Fixup: 00000000$" \
  "^Relocating TRMOVED\.$" "^Module: 'TRMOVED', Base: [0-9A-F]{8}, Len: [0-9A-F]{8}, Fixup: [0-9A-F]{8}$"; do
  [ -n "$(line_of "$pattern")" ] || fail "log lacks /$pattern/"
done
# The moved DLL really moved: its base and fixup are not the preferred ones.
! grep -qE "^Module: 'TRMOVED', Base: 10000000|^Module: 'TRMOVED', .*Fixup: 00000000$" "$log" ||
  fail "TRMOVED was not moved"
dll=$(line_of "^Module: 'TRDLL'") exe=$(line_of "^Module: 'TRACCEPT'")
[ -n "$dll" ] && [ -n "$exe" ] && [ "$dll" -lt "$exe" ] || fail "the DLL was not bound before the executable"
! grep -qE "unknown function|Cannot load DLL 'TRDLL|Unhandled exception|not translated" "$log" || fail "unexpected log lines"
[ ! -s "$work/boxes.txt" ] || fail "unexpected boxes: $(cat "$work/boxes.txt")"

if [ "$failures" != 0 ]; then
  echo "--- log"; cat "$log"; echo "--- output"; cat "$work/out.txt"
  exit 1
fi
echo "acceptance run passed"
