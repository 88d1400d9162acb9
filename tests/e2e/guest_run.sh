# Shared steps of the end-to-end runs of mingw-built guest programs (sourced):
# a copy of the device folder in which the launcher carries the program's
# name, the run, the checks every run makes and the report of a failure.

# guest_setup DEVICE_DIR NAME: $work holds a copy of the device folder with
# the launcher as NAME.exe (so it enters NAME.em.dll).
guest_setup() {
  name=$2
  work=$(mktemp -d)
  # The X server of a test that started one (xvfb.sh) goes too: this trap
  # replaces the one xvfb_start set.
  trap 'rm -rf "$work"; ${xvfb_pid:+xvfb_stop}' EXIT
  cp -a "$1"/. "$work"/
  rm -f "$work/trevik.txt"
  cp "$1/TavrinW.exe" "$work/$name.exe"
  failures=0
}

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# guest_run RUNNER [VAR=value ...] [-- ARGS ...]: runs NAME.exe in $work with
# the device root and the message-box log set, and the given settings;
# leaves its exit code in $status and its output in $work/out.txt.
guest_run() {
  local runner=$1 settings=()
  shift
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    settings+=("$1")
    shift
  done
  [ "${1:-}" = "--" ] && shift
  (cd "$work" && env DEVICE_ROOT="$work" DEVICE_PRESENTER=headless DEVICE_MSGBOX_LOG="$work/boxes.txt" "${settings[@]}" \
    timeout 60 "$runner" "./$name.exe" "$@") >"$work/out.txt" 2>&1
  status=$?
}

# guest_check_clean [PATTERN]: no unknown function, unhandled exception or
# untranslated address in the log (nor PATTERN), and no message box.
guest_check_clean() {
  local pattern="unknown function|Unhandled exception|not translated"
  [ -n "${1:-}" ] && pattern="$pattern|$1"
  ! grep -qiE "$pattern" "$work/trevik.txt" || fail "unexpected log lines"
  [ ! -s "$work/boxes.txt" ] || fail "unexpected boxes: $(cat "$work/boxes.txt")"
}

# guest_finish [FILE ...]: on failure shows the files, the log and the
# output and exits 1.
guest_finish() {
  [ "$failures" = 0 ] && return 0
  local f
  for f in "$@"; do
    echo "--- $(basename "$f")"
    cat "$f" 2>/dev/null
  done
  echo "--- log"
  cat "$work/trevik.txt"
  echo "--- output"
  cat "$work/out.txt"
  exit 1
}
