/* A guest DLL for the end-to-end test: exports by name and by ordinal
   only, keeps state set up by its entry point. */
#include <win32.h>

static int attach_count;
static int scale = 1;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  if (reason == 1) {
    attach_count++;
    scale = 3;
  }
  return 1;
}

int WINAPI TrAdd(int a, int b) { return a + b; }

/* Ordinal only: fails unless DllMain ran first. */
int WINAPI TrScale(int v) { return v * scale; }

int __cdecl TrAttachCount(void) { return attach_count; }
