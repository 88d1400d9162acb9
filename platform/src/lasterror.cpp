#include "wce/kernel.h"

static thread_local DWORD t_last_error;

extern "C" DWORD GetLastError(void) { return t_last_error; }
extern "C" void SetLastError(DWORD code) { t_last_error = code; }
