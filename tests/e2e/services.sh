#!/usr/bin/env bash
# A mingw-built program using the kernel, registry, string and module
# services, started through the real launcher (named SvcCheck.exe, so it
# loads SvcCheck.em.dll) with a command line. The program writes a line per
# check to svccheck.txt and exits with the number of failures.
# Usage: services.sh DEVICE_DIR RUNNER
set -u
. "$(dirname "$0")/guest_run.sh"
guest_setup "$1" SvcCheck
rm -f "$work/registry.dat"
guest_run "$2" -- alpha beta
report=$work/svccheck.txt
[ "$status" = 0 ] || fail "exit code $status (the number of failed checks)"
[ -f "$report" ] && [ "$(grep -c ' ok' "$report")" -ge 20 ] || fail "the report lacks checks"
[ -d "$work/svcdir" ] || fail "the program's folder was not created in the device root"
guest_check_clean
guest_finish "$report"
cat "$report"
echo "services run passed: $(grep -c ' ok' "$report") checks"
