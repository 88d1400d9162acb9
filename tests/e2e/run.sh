#!/usr/bin/env bash
# One end-to-end scenario: copies the device folder, starts the launcher
# the way a user would, and checks the exit code, the log and the boxes.
# Usage: run.sh SCENARIO DEVICE_DIR EXTRA_DIR RUNNER...
set -u
scenario=$1 device=$2 extra=$3
shift 3
runner=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir -p "$root"
cp -a "$device"/. "$root"/
# The sample that walks the fatal paths stands in for the game.
cp -a "$extra/sample"/. "$root"/
rm -f "$root/trevik.txt"
boxes=$work/boxes.txt
: >"$boxes"
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# launch PROGRAM [ARGS...]: runs it from its folder, sets $status.
launch() {
  local program=$1
  shift
  (cd "$(dirname "$program")" && DEVICE_PRESENTER=headless DEVICE_MSGBOX_LOG=$boxes timeout 30 "${runner[@]}" "./$(basename "$program")" "$@") \
    >"$work/out.txt" 2>&1
  status=$?
}

expect_status() { [ "$status" = "$1" ] || fail "exit code $status, expected $1"; }
expect_box() { grep -qxF -- "$1" "$boxes" || fail "no box '$1' (boxes: $(cat "$boxes"))"; }
expect_no_box() { [ ! -s "$boxes" ] || fail "unexpected boxes: $(cat "$boxes")"; }
log_file() { echo "${log:-$root/trevik.txt}"; }
expect_log_line() { grep -qxF -- "$1" "$(log_file)" || fail "log lacks line '$1'"; }
expect_log_text() { grep -qF -- "$1" "$(log_file)" || fail "log lacks '$1'"; }
expect_no_log_text() { ! grep -qF -- "$1" "$(log_file)" || fail "log has '$1'"; }

# The start-up lines every run of the sample writes, in this order.
expect_startup_log() {
  local file
  file=$(log_file)
  [ "$(grep -c '^trevik: ' "$file")" = 1 ] || fail "not exactly one runtime line"
  local -a want=("^trevik: [0-9A-F]{8} - [0-9A-F]{8} \([0-9A-F]{8}\)$"
    "^TavrinW\.em: [0-9A-F]{8} - [0-9A-F]{8} \([0-9A-F]{8}\)$"
    "^TAVRINW located at preferred address 00400000$"
    "^SAMPLE\.em: [0-9A-F]{8} - "
    "^SAMPLE located at preferred address 10000000$"
    "^Module: 'SAMPLE', Base: 10000000, Len: 00004000, Fixup: 00000000$"
    "^Cannot load DLL 'KERNEL32\.em\.dll', Err 7e$"
    "^FindFunc: unknown function NoSuchFunction$"
    "^Module: 'TAVRINW', Base: 00400000, Len: 00005000, Fixup: 00000000$")
  local i=1
  for pattern in "${want[@]}"; do
    sed -n "${i}p" "$file" | grep -qE "$pattern" || fail "log line $i is '$(sed -n "${i}p" "$file")', expected /$pattern/"
    i=$((i + 1))
  done
}

expect_register_dump() {
  local reg
  for reg in EAX EBX ECX EDX ESI EDI EBP ESP EIP; do
    grep -qE "^ Env->$reg=[0-9A-F]{8}$" "$(log_file)" || fail "no $reg line in the register dump"
  done
}

case $scenario in
  normal)
    echo "left over from an earlier run" >"$root/trevik.txt"
    launch "$root/TavrinW.exe"
    expect_status 0
    expect_startup_log
    [ "$(wc -l <"$root/trevik.txt")" = 9 ] || fail "extra log lines: $(cat "$root/trevik.txt")"
    expect_no_box
    ;;
  invalid_address)
    launch "$root/TavrinW.exe" i
    expect_status 255
    expect_startup_log
    # The report is written without a line end.
    [ "$(tail -c 32 "$root/trevik.txt")" = $'\nInvalid address 12345678 called' ] || fail "log ends '$(tail -n1 "$root/trevik.txt")'"
    expect_box "[Error] Invalid address 12345678 called"
    ;;
  unresolved_import)
    launch "$root/TavrinW.exe" u
    expect_status 255
    expect_log_text "Invalid address 0040108B called"
    expect_box "[Error] Invalid address 0040108B called"
    ;;
  untranslated_address)
    launch "$root/TavrinW.exe" n
    expect_status 255
    expect_log_line "Address 0040107F was not compiled into module 'TAVRINW'. Exiting."
    expect_register_dump
    expect_log_line " Env->EIP=0040107F"
    expect_log_line " Real EIP=0040107F in TAVRINW"
    expect_box "[Error] Non-translated address called. See log."
    ;;
  missing_module)
    cp "$root/TavrinW.exe" "$root/Other.exe"
    launch "$root/Other.exe"
    expect_status 255
    expect_box '[Cannot load module] \Other.em.dll'
    ;;
  no_entry_point)
    cp "$root/TavrinW.exe" "$root/NoEntry.exe"
    cp "$extra/NoEntry.em.dll" "$root/"
    launch "$root/NoEntry.exe"
    expect_status 255
    expect_box '[EntryPoint not found] \NoEntry.em.dll'
    ;;
  bad_file_name)
    cp "$root/TavrinW.exe" "$root/TavrinW"
    launch "$root/TavrinW"
    expect_status 255
    expect_box '[Bad file name] \TavrinW'
    ;;
  dotted_folder)
    # The device root holds the game in a folder whose name has a dot.
    mkdir "$work/top"
    mv "$root" "$work/top/v1.2"
    root=$work/top/v1.2
    log=$work/top/trevik.txt
    export DEVICE_ROOT=$work/top
    launch "$root/TavrinW.exe"
    expect_status 0
    expect_startup_log
    ;;
  other_stem)
    cp "$root/TavrinW.exe" "$root/Game.exe"
    mv "$root/TavrinW.em.dll" "$root/Game.em.dll"
    launch "$root/Game.exe"
    expect_status 0
    expect_log_text "Module: 'TAVRINW', Base: 00400000"
    expect_no_box
    ;;
  seh_taken)
    launch "$root/TavrinW.exe" s
    expect_status 255
    expect_log_text "Unhandled exception C0000005 at address "
    expect_register_dump
    expect_log_line " Real EIP=004010A5 in TAVRINW"
    [ "$(grep -c '^SEH: Unwinding\.\.\.$' "$root/trevik.txt")" = 1 ] || fail "expected one unwinding line"
    [ "$(tail -n 2 "$root/trevik.txt" | tr '\n' '|')" = "SEH: Unwinding...|Resuming exceptions not implemented|" ] ||
      fail "log ends '$(tail -n 2 "$root/trevik.txt")'"
    expect_no_log_text "DEAD0000"
    expect_no_box
    ;;
  seh_declined)
    launch "$root/TavrinW.exe" S
    expect_status 0
    expect_log_text "Unhandled exception C0000005 at address "
    expect_no_log_text "SEH: Unwinding"
    expect_no_log_text "DEAD0000"
    expect_box "[Exception] Unhandled Exception"
    ;;
  *)
    fail "no scenario $scenario"
    ;;
esac

if [ "$failures" -ne 0 ]; then
  echo "--- output"; cat "$work/out.txt"
  echo "--- log"; cat "$(log_file)" 2>/dev/null
  exit 1
fi
echo "ok: $scenario"
