// The launcher's pieces.
#pragma once

#include "wce/wce.h"

// Splits the launcher's own path at the last '.' of its file name (never in
// a folder name) into the two module name candidates "<stem>.em.<ext>" and
// "<stem>.em.dll". Returns false when the file name has no dot.
bool module_candidates(const WCHAR* own_path, WCHAR* first, WCHAR* second, size_t size);

// The "Loading..." notice: a centred button window on its own thread, gone
// once another window takes the foreground.
DWORD notice_thread(LPVOID);
void notice_rect(int screen_width, int screen_height, RECT* rect);
