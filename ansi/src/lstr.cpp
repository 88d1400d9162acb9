// lstrcpyA, lstrcatA, lstrlenA: the plain 8-bit string operations.
#include <cstring>

#include "zentrix.h"

LPSTR lstrcpyA(LPSTR lpString1, LPCSTR lpString2) { return strcpy(lpString1, lpString2); }

LPSTR lstrcatA(LPSTR lpString1, LPCSTR lpString2) { return strcat(lpString1, lpString2); }

int lstrlenA(LPCSTR lpString) { return static_cast<int>(strlen(lpString)); }
