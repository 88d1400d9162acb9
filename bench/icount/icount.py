#!/usr/bin/env python3
"""Reads a dump of icount_plugin.so: guest instructions run per file, per
function of the main program, and optionally the hottest places of one file.

  icount.py DUMP PROGRAM [--ratio FILE...] [--hot FILE [N]]

--ratio prints instructions run in the named files (the translated module
and the runtime it calls) against those of the main program's own
functions, leaving out its harness (main, anything in an anonymous
namespace, bench_*, and the C start-up code)."""
import bisect
import collections
import os
import subprocess
import sys


def read_dump(path):
    counts, maps, in_maps = collections.Counter(), [], False
    with open(path) as f:
        for line in f:
            if line.startswith('maps'):
                in_maps = True
            elif not in_maps:
                vaddr, count = line.split()
                counts[int(vaddr, 16)] += int(count)
            else:
                p = line.split()
                lo, hi = (int(x, 16) for x in p[0].split('-'))
                maps.append((lo, hi, int(p[2], 16), p[5] if len(p) > 5 else ''))
    return counts, maps


def elf_base(program):
    # the lowest address the first loadable segment asks for
    out = subprocess.run(['readelf', '-lW', program], capture_output=True, text=True, check=True).stdout
    return min(int(l.split()[2], 16) for l in out.splitlines() if l.strip().startswith('LOAD'))


def functions(program):
    out = subprocess.run(['nm', '-C', '--defined-only', program], capture_output=True, text=True, check=True).stdout
    syms = sorted((int(p[0], 16), p[2]) for p in (l.split(maxsplit=2) for l in out.splitlines())
                  if len(p) == 3 and p[1] in 'tTwW')
    return [a for a, _ in syms], [n for _, n in syms]


def harness(name):
    return name == 'main' or name.startswith('_') or 'anonymous namespace' in name or name.startswith('bench_')


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    dump, program = argv[1], os.path.realpath(argv[2])
    ratio_files = argv[argv.index('--ratio') + 1:] if '--ratio' in argv else []
    ratio_files = [f for f in ratio_files[:next((i for i, f in enumerate(ratio_files) if f.startswith('--')), None)]]
    hot_file = argv[argv.index('--hot') + 1] if '--hot' in argv else None
    hot_n = int(argv[argv.index('--hot') + 2]) if hot_file and len(argv) > argv.index('--hot') + 2 else 30

    counts, maps = read_dump(dump)
    # qemu keeps the guest at one offset from its own addresses
    mine = [lo - off for lo, hi, off, name in maps if name and os.path.realpath(name) == program]
    if not mine:
        sys.exit(f'icount.py: {program} is not in the dump\'s map')
    offset = min(mine) - elf_base(program)
    file_start = {}
    for lo, hi, off, name in maps:
        if name:
            file_start[name] = min(file_start.get(name, lo - off), lo - off)
    starts = sorted((lo, hi, name) for lo, hi, off, name in maps)
    los = [s[0] for s in starts]
    addrs, names = functions(program)

    by_file, by_function, hot = collections.Counter(), collections.Counter(), collections.Counter()
    for vaddr, count in counts.items():
        host = vaddr + offset
        i = bisect.bisect_right(los, host) - 1
        name = starts[i][2] if i >= 0 and host < starts[i][1] else ''
        short = os.path.basename(name) or '[anonymous]'
        by_file[short] += count
        if name and os.path.realpath(name) == program:
            j = bisect.bisect_right(addrs, vaddr) - 1
            by_function[names[j] if j >= 0 else '?'] += count
        if short == hot_file:
            hot[host - file_start[name]] += count

    if ratio_files:
        translated = sum(by_file[f] for f in ratio_files)
        native = sum(c for n, c in by_function.items() if not harness(n))
        print(f'{translated} {native} {translated / native if native else float("inf"):.2f}')
        return
    print(f'{sum(counts.values()):14d} in all')
    for name, count in by_file.most_common(12):
        print(f'{count:14d} {name}')
    print(f'-- functions of {os.path.basename(program)}')
    for name, count in by_function.most_common(15):
        print(f'{count:14d} {name}')
    if hot_file:
        print(f'-- hottest places in {hot_file} (offsets into the file)')
        for where, count in hot.most_common(hot_n):
            print(f'{count:14d} {where:#x}')


if __name__ == '__main__':
    main(sys.argv)
