/* The guest side: the programs are called through their exports. */
#include "programs.h"

int __attribute__((stdcall)) WinMain(void* instance, void* previous, char* command_line, int show) { return 0; }
