/* The benchmark's work, shared by the native and translated builds. */
#ifndef VXBENCH_H
#define VXBENCH_H
#include <stdint.h>

#define VXBENCH_PASSES 4

#ifdef __cplusplus
extern "C" {
#endif
unsigned vxbench_run(const uint8_t* movie, uint32_t size, uint32_t passes, uint32_t* frames);
#ifdef __cplusplus
}
#endif

#endif
