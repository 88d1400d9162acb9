# Sourced by tests that need an X server: starts Xvfb on a free display
# number and stops it when the test ends. Where Xvfb cannot start, the
# test is skipped (exit 77) with the reason.
#   xvfb_start   sets DISPLAY
xvfb_start() {
  if ! command -v Xvfb >/dev/null; then
    echo "SKIP: Xvfb is not installed (scripts/setup.sh installs it)"
    exit 77
  fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    xvfb_log=$(mktemp)
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$xvfb_log" 2>&1 &
    xvfb_pid=$!
    trap xvfb_stop EXIT
    local i
    for i in $(seq 100); do
      if [ -S "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    # Another server may have taken the number first: try the next one.
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    if ! grep -q "already active\|Cannot establish any listening sockets" "$xvfb_log"; then
      echo "SKIP: Xvfb cannot start: $(tail -1 "$xvfb_log")"
      rm -f "$xvfb_log"
      exit 77
    fi
    rm -f "$xvfb_log"
  done
  echo "SKIP: no free X display number for Xvfb"
  exit 77
}

# xvfb_wait_size WINDOW WxH: waits (up to 10 s) until the window has that
# size; the presenter resizes its window on its own thread, after the
# program has already gone on.
xvfb_wait_size() {
  local i
  for i in $(seq 100); do
    [ "$(xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/^ *Geometry: //p')" = "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

xvfb_stop() {
  [ -n "${xvfb_cleanup:-}" ] && eval "$xvfb_cleanup"
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -f "${xvfb_log:-}"
}
