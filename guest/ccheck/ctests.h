/* The C comparison tests: run_ctests fills c_results. */
#ifndef CTESTS_H
#define CTESTS_H
#define C_RESULTS 13
#ifdef __cplusplus
extern "C" {
#endif
extern unsigned c_results[C_RESULTS];
void run_ctests(void);
#ifdef __cplusplus
}
#endif
#endif
