#!/usr/bin/env bash
# Breaker in a real X server (Xvfb, the device's SDL window), played with
# xdotool as a person would: a tap skips the intro, Enter starts a game of
# one ball, Space launches it; with a fixed seed and no steering the game
# ends at a known score, which goes into the high-score table; Escape ends
# the game with exit code 0. A second run finds that score in the
# registry, pauses on a tap-and-hold, and ends when the window is closed.
# A third, whose registry can keep nothing, tells the player so in a box.
# Usage: game_window.sh DEVICE_DIR RUN32 X_CLOSE
set -u
. "$(dirname "$0")/guest_run.sh"
. "$(dirname "$0")/xvfb.sh"
xvfb_start
guest_setup "$1" TavrinW
# Nothing of an earlier run in the device folder: no scores, no log.
rm -f "$work/breaker.log" "$work/registry.dat"
runner=$2 x_close=$3
# Seed 5, one ball, no steering: the first level ends the game at 40.
expected_score=40
log=$work/breaker.log

# wait_log TEXT: waits (up to 60 s) for a line of the game's log.
wait_log() {
  local i
  for i in $(seq 600); do
    grep -qF -- "$1" "$log" 2>/dev/null && return 0
    kill -0 "$game" 2>/dev/null || break
    sleep 0.1
  done
  fail "the game's log lacks '$1'"
  return 1
}
# start ARGS...: the game in the background, with its window found.
start() {
  rm -f "$work/trevik.txt"
  (cd "$work" && env ${registry:+DEVICE_REGISTRY="$registry"} DEVICE_ROOT="$work" DEVICE_PRESENTER=sdl DEVICE_AUDIO=null DEVICE_SCALE=2 \
     DEVICE_AUDIO_CAPTURE="$work/sound.wav" DEVICE_MSGBOX_LOG="$work/boxes.txt" \
     timeout 120 "$runner" ./TavrinW.exe "$@") >"$work/out.txt" 2>&1 &
  game=$!
  xvfb_cleanup="kill $game 2>/dev/null"
  # The game has its window (turned to landscape) once it has read its scores.
  wait_log "scores: best"
  window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Tavrin$' | tail -1)
  [ -n "$window" ] || { fail "no game window"; guest_finish; }
}
ended() {
  wait "$game"
  status=$?
  [ "$status" = 0 ] || fail "exit code $status ($1)"
}
# Device point (x, y) in the window: the screen is shown at twice its size.
tap() { xdotool mousemove --window "$window" $(($1 * 2)) $(($2 * 2)) click 1; }
key() { xdotool mousemove --window "$window" 10 10 key "$1"; }

start -seed 5 -lives 1
wait_log "intro: playing" && tap 160 120
wait_log "intro: skipped"
sleep 0.5
key Return
wait_log "play: started"
key space
wait_log "play: game over, score"
score=$(sed -n 's/^play: game over, score \([0-9]*\),.*/\1/p' "$log" | head -1)
[ -n "$expected_score" ] && [ "$score" != "$expected_score" ] && fail "score $score, expected $expected_score"
[ "${score:-0}" -gt 0 ] || fail "the game ended without a score"
import -window "$window" "$work/shot.png" 2>/dev/null
[ "$(identify -format '%wx%h' "$work/shot.png" 2>/dev/null)" = 640x480 ] || fail "the window is not the landscape screen at twice its size"
key Escape
ended "Escape"
python3 - "$work/sound.wav" <<'PY' || fail "the game made no sound"
import struct, sys, wave
w = wave.open(sys.argv[1])
d = w.readframes(w.getnframes())
assert max(struct.unpack("<%dh" % (len(d) // 2), d)) > 1000
PY

cp "$log" "$work/first.log"
: >"$log"
start -nointro
grep -qx "scores: best $score" "$log" || fail "the second run does not find score $score"
key Return
wait_log "play: started"
xdotool mousemove --window "$window" 320 240 mousedown 1
wait_log "play: paused"
xdotool mouseup 1
"$runner" "$x_close" "$window"
ended "closing the window"

# A registry that can keep nothing (a folder in its place): when the game
# ends, a box says the scores cannot be saved; Enter answers it and the
# game goes on with its table for the session.
: >"$log"
mkdir "$work/no-store"
registry=$work/no-store
start -nointro -seed 5 -lives 1
key Return
wait_log "play: started"
key space
wait_log "high scores not saved"
# Enter until the box has taken it (a key before the box opens goes to the
# game's queue, where a later one does no harm).
for i in $(seq 40); do
  grep -q "^play: game over" "$log" && break
  key Return
  sleep 0.25
done
wait_log "play: game over, score $score, level 1, rank 1"
key Escape
ended "Escape after the box"
grep -q '^\[Breaker\] The high scores cannot be saved' "$work/boxes.txt" || fail "no box about the scores"
rm -f "$work/boxes.txt"  # that box was the one expected
guest_check_clean
guest_finish "$log"

echo "game in a window passed: score $score kept across runs"
