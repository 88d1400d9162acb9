// Rectangle helpers.
#include "wce/gdi.h"

extern "C" BOOL OffsetRect(RECT* rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left += dx, rect->right += dx;
  rect->top += dy, rect->bottom += dy;
  return TRUE;
}
