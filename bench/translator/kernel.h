/* The benchmark's work: returns a digest of everything it computed. */
#ifndef BENCH_KERNEL_H
#define BENCH_KERNEL_H
#ifdef __cplusplus
extern "C" {
#endif
unsigned bench_run(void);
#ifdef __cplusplus
}
#endif
#endif
