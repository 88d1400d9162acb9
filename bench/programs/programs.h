/* Realistic guest programs, each compiled for the guest (then translated)
   and natively from this same source; each returns a digest of its work
   for `n` rounds. */
#ifndef BENCH_PROGRAMS_H
#define BENCH_PROGRAMS_H
#ifdef _WIN32
#define PROGRAM __attribute__((dllexport))
#else
#define PROGRAM
#endif
#ifdef __cplusplus
extern "C" {
#endif
PROGRAM unsigned prog_interp(unsigned n);
PROGRAM unsigned prog_sort(unsigned n);
PROGRAM unsigned prog_parse(unsigned n);
PROGRAM unsigned prog_dispatch(unsigned n);
PROGRAM unsigned prog_raster(unsigned n);
PROGRAM unsigned prog_physics(unsigned n);
#ifdef __cplusplus
}
#endif
#endif
