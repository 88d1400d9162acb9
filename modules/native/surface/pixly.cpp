// The surface module, registered as "PIXLY": one export, DirectDrawCreate,
// which hands the guest the one DirectDraw object. Surfaces are plain
// memory; the primary surface is shown in the guest's window with the
// device's DIB drawing. There is no hardware access, no mode change and no
// flipping.
#include <cstring>

#include "native_frame.h"
#include "pixly.h"
#include "wce/time.h"
#include "wce/window.h"

DirectDraw g_ddraw;

namespace {

// DirectDrawCreate(lpGUID, lplpDD, pUnkOuter).
void direct_draw_create(Env* env) {
  const u32 out = arg(env, 2);
  g_ddraw.methods = guest_addr(g_ddraw_methods);
  g_ddraw.bits_per_pixel = 16;
  g_ddraw.display_width = static_cast<u32>(GetSystemMetrics(SM_CXSCREEN));
  g_ddraw.display_height = static_cast<u32>(GetSystemMetrics(SM_CYSCREEN));
  if (out) guest_write32(out, guest_addr(&g_ddraw));
  guest_return_value(env, 0, 3);
}

u32 g_last_update;

}  // namespace

const char g_native_name[] = "PIXLY";
ExportEntry g_native_exports[] = {
    NATIVE_EXPORT("DirectDrawCreate", direct_draw_create),
    {0, 0},
};

u32 surface_buffer_size(const Surface* s) {
  const u64 row = (static_cast<u64>(s->width) * s->bits_per_pixel + 7) / 8;
  const u64 pitch = s->pitch > row ? s->pitch : row;
  const u64 size = pitch * s->height;
  return size > 0x7FFFFFFF ? 0 : static_cast<u32>(size);
}

void show_primary(bool always) {
  const Surface* primary = from_guest<Surface>(g_ddraw.primary);
  const BITMAPINFO* header = from_guest<BITMAPINFO>(g_ddraw.primary_header);
  if (!primary || !header) return;  // nothing to show before a primary surface exists
  const u32 now = GetTickCount();
  if (!always && now - g_last_update <= 40) return;
  HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(g_ddraw.window));
  HDC dc = GetDC(window);
  const void* pixels = from_guest<void>(primary->pixels);
  if (primary->width == g_ddraw.client_width)
    SetDIBitsToDevice(dc, 0, 0, primary->width, primary->height, 0, 0, 0, primary->height, pixels, header,
                      DIB_RGB_COLORS);
  else
    StretchDIBits(dc, 0, 0, static_cast<int>(g_ddraw.client_width), static_cast<int>(g_ddraw.client_height), 0, 0,
                  static_cast<int>(primary->width), static_cast<int>(primary->height), pixels, header,
                  DIB_RGB_COLORS, SRCCOPY);
  ReleaseDC(window, dc);
  g_last_update = GetTickCount();
}

// Blt's own update shows the source's rectangle; it shares the clock.
u32* pixly_last_update() { return &g_last_update; }
