/* Runs every case of the random ALU test from every start state and keeps
   the registers and flags each run ends with. Built twice: natively
   (main writes the results to a file) and for the guest (WinMain; the
   checker reads the exported results from guest memory). */
#include "alu_cases.h"

extern unsigned g_in[10], g_out[10];

#ifdef _WIN32
__attribute__((dllexport))
#endif
unsigned alu_results[ALU_CASES * ALU_STATES * 8];

static void run_all(void) {
  unsigned* r = alu_results;
  for (int k = 0; k < ALU_CASES; k++) {
    for (int s = 0; s < ALU_STATES; s++) {
      for (int i = 0; i < 8; i++) g_in[i] = alu_states[s][i];
      g_in[7] |= 0x202; /* bit 1 and IF, as a real EFLAGS */
      alu_cases[k]();
      for (int i = 0; i < 8; i++) *r++ = g_out[i];
    }
  }
}

#ifdef _WIN32
int __attribute__((stdcall)) WinMain(void* instance, void* previous, char* command_line, int show) {
  run_all();
  return 0;
}
#else
#include <stdio.h>
int main(int argc, char** argv) {
  run_all();
  FILE* f = fopen(argv[1], "wb");
  if (!f || fwrite(alu_results, sizeof alu_results, 1, f) != 1) return 1;
  return fclose(f) != 0;
}
#endif
