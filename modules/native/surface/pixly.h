// The surface module's objects: the one DirectDraw object, surfaces and
// palettes, each starting with its method table as COM objects do. Every
// field is a 32-bit word the guest could see.
#pragma once

#include "guest_args.h"
#include "wce/gdi.h"

typedef uint64_t u64;
typedef int64_t i64;

struct DirectDraw {
  u32 methods;
  u32 display_width, display_height, bits_per_pixel;
  u32 window;
  u32 client_width, client_height;
  u32 primary;         // a Surface*
  u32 primary_header;  // a BITMAPINFO* with 256 colours
};

struct Surface {
  u32 methods;
  u32 width, height, bits_per_pixel, pitch;
  u32 pixels;
  u32 palette;  // a Palette*
};
static_assert(sizeof(Surface) == 28, "a surface object is 28 bytes");

struct Palette {
  u32 methods;
  RGBQUAD entries[256];
};
static_assert(sizeof(Palette) == 1028, "a palette object is 1,028 bytes");

constexpr u32 kPrimaryHeaderSize = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);

extern DirectDraw g_ddraw;
// The method tables (filled when the library is loaded).
extern u32 g_ddraw_methods[23], g_surface_methods[36], g_palette_methods[7];

template <typename T>
T* from_guest(u32 address) {
  return reinterpret_cast<T*>(static_cast<uintptr_t>(address));
}

// The bytes of a surface's pixel buffer: rows of at least the pitch and at
// least the surface's own width.
u32 surface_buffer_size(const Surface* s);
// Shows the primary surface in the window, at most once per 40 ms unless
// `always`.
void show_primary(bool always);
// The tick count of the last screen update, shared by every update.
u32* pixly_last_update();
