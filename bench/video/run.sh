#!/usr/bin/env bash
# The video library's speed: Cinepak decoding translated against native
# (bench_video), and the processor time of playing a 320x240 movie at 15
# frames a second with sound through the launcher (VxPlay.exe), as a share
# of one core. Usage: bench/video/run.sh [BUILD_DIR]
set -eu
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=15:duration=4 \
  -f lavfi -i sine=frequency=440:sample_rate=22050:duration=4 -ac 2 -c:v cinepak -c:a pcm_s16le "$work/bench.avi"
echo "== decoding (320x240 Cinepak, $(( 60 )) frames, 4 passes)"
DEVICE_ROOT="$work" "$build/run32" "$build/bin/bench_video" "$work/bench.avi"
echo "== playing 4 s at 15 frames a second with sound"
cp -a "$build/device/." "$work/"
cp "$build/device/TavrinW.exe" "$work/VxPlay.exe"
python3 - "$build/run32" "$work" <<'PY'
import os, resource, subprocess, sys, time
runner, work = sys.argv[1:]
def run(movie):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    r = subprocess.run([runner, "./VxPlay.exe", movie], cwd=work, env=dict(os.environ, DEVICE_ROOT=work))
    wall = time.monotonic() - start
    use = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.returncode, wall, use.ru_utime + use.ru_stime - before.ru_utime - before.ru_stime

# The start-up of the launcher and the modules alone (a movie that is not there).
_, start_wall, start_cpu = run("missing.avi")
result, wall, cpu = run("bench.avi")
print("start-up alone: wall %.2f s, processor %.2f s" % (start_wall, start_cpu))
print("result %d; wall %.2f s, processor %.2f s: %.1f %% of one core; without the start-up %.1f %% (under %s)" %
      (result, wall, cpu, 100 * cpu / wall, 100 * (cpu - start_cpu) / (wall - start_wall),
       open(runner).read().split("exec ")[1].split('"')[0].strip() or "no emulator"))
PY
