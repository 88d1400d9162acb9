// Screen metrics and the cursor.
#include <atomic>

#include "wce/device.h"
#include "wce/kernel.h"
#include "wce/window.h"

namespace {

// The system cursors; their handles are the addresses of these records.
struct SystemCursor {
  uintptr_t id;
};
const SystemCursor kCursors[] = {{0x7F00}, {0x7F01}, {0x7F02}, {0x7F03}, {0x7F04}};
std::atomic<HCURSOR> g_cursor{nullptr};

}  // namespace

extern "C" int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return device_screen_width();
    case SM_CYSCREEN: return device_screen_height();
    // A Pocket PC's frame parts, in pixels.
    case SM_CYCAPTION: return 26;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    default: return 0;
  }
}

extern "C" HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  uintptr_t id = reinterpret_cast<uintptr_t>(name);
  if (!instance) {
    for (const SystemCursor& c : kCursors)
      if (c.id == id) return reinterpret_cast<HCURSOR>(const_cast<SystemCursor*>(&c));
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

extern "C" HCURSOR SetCursor(HCURSOR cursor) { return g_cursor.exchange(cursor); }
