#!/bin/sh
# Instructions run by the realistic guest programs, translated against
# native, counted under qemu-i386 (deterministic, unlike their times; works
# whether or not this machine runs 32-bit programs itself).
#   bench/icount/icount.sh [module] [scale] [program...]
# Run after scripts/build.sh; prints one line per program.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build
module=${1:-$build/device/TRPROGS.em.dll}
scale=${2:-0.3}
[ $# -gt 2 ] && shift 2 || set --
programs=${*:-interp sort parse dispatch raster physics}
work=$build/icount
mkdir -p "$work"
if [ ! -e "$work/icount_plugin.so" ] || [ "$root/bench/icount/icount_plugin.c" -nt "$work/icount_plugin.so" ]; then
  gcc -O2 -shared -fPIC -o "$work/icount_plugin.so" "$root/bench/icount/icount_plugin.c"
fi
printf '%-10s %14s %14s %7s\n' program translated native ratio
{
for p in $programs; do
  qemu-i386 -R 0x80000000 -plugin "$work/icount_plugin.so,out=$work/$p.dump" \
    "$build/bin/bench_programs" "$module" "$scale" "$p" > /dev/null
  python3 "$root/bench/icount/icount.py" "$work/$p.dump" "$build/bin/bench_programs" \
    --ratio "$(basename "$module")" Trevik.dll libcoredll.so | {
    read -r t n r
    printf '%-10s %14s %14s %7s\n' "$p" "$t" "$n" "$r"
  }
done
} | awk '{ print } $4 + 0 > 0 { s += log($4); k++ } END { if (k > 1) printf "geometric mean of ratios: %.2f\n", exp(s / k) }'
