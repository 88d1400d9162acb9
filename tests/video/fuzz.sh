#!/usr/bin/env bash
# Fuzzes the video library's reader and decoders with mutants of ffmpeg-made
# movies (Cinepak with sound, Microsoft Video 1, hand-built 8-bit and
# Cinepak streams): the target build (guard bytes), and a host build under
# AddressSanitizer and UndefinedBehaviorSanitizer when a host compiler is
# there. Usage: fuzz.sh VX_FUZZ RUNNER SOURCE_DIR [ITERATIONS [SEED]]
# (a random seed when none is given; every failure names the seed).
set -eu
fuzz=$1 runner=$2 src=$3 iterations=${4:-150} seed=${5:-$RANDOM}
# The seed comes first, so that even a run killed by a time limit can be
# repeated; any other failure (the movies, the compile) names it again.
echo "fuzz: seed $seed"
work=$(mktemp -d)
trap 'status=$?; rm -rf "$work"; [ $status = 0 ] || echo "fuzz: FAILED, seed $seed (again: fuzz.sh ... $iterations $seed)"; exit $status' EXIT
here=$(dirname "$0")
PYTHONPATH="$here" python3 - "$work" <<'PY'
import os, sys, movies
w = sys.argv[1]
movies.encode(os.path.join(w, "cvid.avi"), "cinepak", "64x48", 10, 0.5, (8000, 1, "pcm_u8"))
movies.encode(os.path.join(w, "msvc.avi"), "msvideo1", "64x48", 10, 0.5)
movies.msvc8_movie(os.path.join(w, "msvc8.avi"), 3, frames=6)
movies.cinepak_movie(os.path.join(w, "built.avi"), 5, frames=5)
# Strips of 6 and 26 rows: the second starts inside a block row and ends
# past the picture (a fault the fuzzer once found).
movies.cinepak_movie(os.path.join(w, "strips.avi"), 9, width=16, height=32, frames=3, heights=(6, 26))
# A top-down height of -2^31, which has no positive counterpart in 32 bits
# (another fault the fuzzer found).
movies.msvc8_movie(os.path.join(w, "tall.avi"), 4, frames=3, stored_height=-2**31)
hdrl, movi = movies.movie_parts(os.path.join(w, "cvid.avi"))
open(os.path.join(w, "records.avi"), "wb").write(movies.build(hdrl, movi, index=False, records=True, junk=True))
PY
asan=""
if command -v cc >/dev/null; then
  asan="$work/vx_fuzz_asan"
  cc -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=undefined -I "$src/guest/vexon32" \
    "$src/tests/video/vx_fuzz.c" "$src/guest/vexon32/"{vx_avi,vx_cinepak,vx_msvc,vx_decode,vx_convert}.c -o "$asan"
fi
status=0
for movie in tall strips cvid msvc msvc8 built records; do
  if ! "$runner" "$fuzz" "$work/$movie.avi" "$iterations" "$seed" "$work/current.avi"; then
    echo "FAIL: target build, $movie.avi, seed $seed"; status=1
  fi
  if [ -n "$asan" ] && ! "$asan" "$work/$movie.avi" $((iterations * 4)) "$seed" "$work/current.avi"; then
    echo "FAIL: sanitized build, $movie.avi, seed $seed"; status=1
  fi
  [ $status = 0 ] || { xxd "$work/current.avi" | head -40; exit 1; }
done
echo "fuzz: no fault (seed $seed)"
