/* The end-to-end guest program: imports TRDLL by name and by ordinal and
   the system by name, and ends through ExitProcess with a code that says
   which checks failed (0x40 + bit mask; 0x40 when all passed). */
#include <win32.h>

WIN_IMPORT int WINAPI TrAdd(int a, int b);
WIN_IMPORT int WINAPI TrScale(int v);
WIN_IMPORT int __cdecl TrAttachCount(void);
WIN_IMPORT int WINAPI TrApply(int which, int v);
WIN_IMPORT int WINAPI TrPick(int n, int v);
WIN_IMPORT int WINAPI TrWordLength(int n);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  unsigned failed = 0;
  if (TrAdd(20, 22) != 42) failed |= 1;
  if (TrScale(7) != 21) failed |= 2;  /* the DLL's entry point ran first */
  if (TrAttachCount() != 1) failed |= 4;
  if (GetVersion() != 0x50000) failed |= 8;
  if (GetProfileIntA("app", "key", 7) != 7) failed |= 16;
  /* TRMOVED was moved: pointers, jump tables and strings followed it. */
  if (TrApply(0, 5) != 10 || TrApply(1, 9) != 81 || TrApply(2, 4) != -4 || TrPick(5, 201) != 67 ||
      TrPick(0, 1) != 12 || TrPick(7, 0) != -1 || TrPick(9, 5) != -1 || TrWordLength(2) != 5 || TrWordLength(1) != 3)
    failed |= 32;
  ExitProcess(0x40 | failed);
  return 1;
}
