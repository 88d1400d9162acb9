// The methods of the DirectDraw, surface and palette objects. Every method
// removes `this` and its arguments and returns DD_OK (0); those not named
// here do nothing else, and write nothing through their out-parameters.
#include <cstdlib>
#include <cstring>

#include "pixly.h"
#include "wce/kernel.h"
#include "wce/time.h"
#include "wce/window.h"

u32 g_ddraw_methods[23], g_surface_methods[36], g_palette_methods[7];

namespace {

constexpr u32 DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_PITCH = 0x8, DDSD_PIXELFORMAT = 0x1000;
constexpr u32 DDSCAPS_PRIMARYSURFACE = 0x200, DDPF_PALETTEINDEXED8 = 0x20, DDBLT_COLORFILL = 0x400;
// Offsets in the guest's DDSURFACEDESC.
constexpr u32 kFlags = 4, kHeight = 8, kWidth = 12, kPitch = 16, kSurface = 36, kFormatSize = 72,
              kFormatFlags = 76, kCaps = 104;

template <u32 N>
void ok(Env* env) {
  guest_return_value(env, 0, N);
}

u32 display_pitch() { return g_ddraw.display_width * g_ddraw.bits_per_pixel / 8; }

// The palette's colours become the primary surface's.
void load_primary_colours(const Palette* palette) {
  if (BITMAPINFO* header = from_guest<BITMAPINFO>(g_ddraw.primary_header))
    memcpy(header->bmiColors, palette->entries, sizeof palette->entries);
}

void take_entries(Palette* palette, u32 first, u32 count, u32 entries) {
  for (u32 i = 0; i < count && first + i < 256; i++) {
    const uint8_t* e = from_guest<uint8_t>(entries + 4 * i);
    palette->entries[first + i] = RGBQUAD{e[2], e[1], e[0], 0};
  }
}

// IDirectDraw::CreateSurface(this, lpDDSurfaceDesc, lplpDDSurface, pUnkOuter)
void create_surface(Env* env) {
  const u32 desc = arg(env, 2), out = arg(env, 3);
  if (!desc) {  // nothing to describe the surface: none is made
    guest_return_value(env, 0, 4);
    return;
  }
  Surface* s = static_cast<Surface*>(calloc(1, sizeof(Surface)));
  s->methods = guest_addr(g_surface_methods);
  const u32 flags = guest_read32(desc + kFlags);
  if (!(flags & DDSD_HEIGHT)) guest_write32(desc + kHeight, g_ddraw.display_height);
  if (!(flags & DDSD_WIDTH)) guest_write32(desc + kWidth, g_ddraw.display_width);
  if (!(flags & DDSD_PIXELFORMAT)) {
    guest_write32(desc + kFormatSize, 12);
    guest_write32(desc + kFormatFlags, DDPF_PALETTEINDEXED8);
  }
  if (!(flags & DDSD_PITCH)) guest_write32(desc + kPitch, display_pitch());
  s->width = guest_read32(desc + kWidth);
  s->height = guest_read32(desc + kHeight);
  s->pitch = guest_read32(desc + kPitch);
  s->bits_per_pixel = g_ddraw.bits_per_pixel;
  // Rows as long as the surface's own, also when the pitch (which follows
  // the display) is shorter: writes along a row stay inside the buffer.
  s->pixels = guest_addr(malloc(surface_buffer_size(s) ? surface_buffer_size(s) : 1));
  guest_write32(desc + kSurface, s->pixels);
  if (out) guest_write32(out, guest_addr(s));
  if ((flags & DDSD_CAPS) && (guest_read32(desc + kCaps) & DDSCAPS_PRIMARYSURFACE)) {
    g_ddraw.primary = guest_addr(s);
    BITMAPINFO* header = static_cast<BITMAPINFO*>(calloc(1, kPrimaryHeaderSize));
    header->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header->bmiHeader.biWidth = static_cast<LONG>(s->width);
    header->bmiHeader.biHeight = -static_cast<LONG>(s->height);
    header->bmiHeader.biPlanes = 1;
    header->bmiHeader.biBitCount = static_cast<WORD>(s->bits_per_pixel);
    g_ddraw.primary_header = guest_addr(header);
  }
  guest_return_value(env, 0, 4);
}

// IDirectDraw::CreatePalette(this, dwFlags, lpColorTable, lplpDDPalette, pUnkOuter)
void create_palette(Env* env) {
  const u32 table = arg(env, 3), out = arg(env, 4);
  Palette* p = static_cast<Palette*>(calloc(1, sizeof(Palette)));
  p->methods = guest_addr(g_palette_methods);
  if (table) take_entries(p, 0, 256, table);
  if (out) guest_write32(out, guest_addr(p));
  if (Surface* primary = from_guest<Surface>(g_ddraw.primary)) primary->palette = guest_addr(p);
  guest_return_value(env, 0, 5);
}

// IDirectDraw::DuplicateSurface(this, lpDDSurface, lplpDupDDSurface): the same object.
void duplicate_surface(Env* env) {
  if (const u32 out = arg(env, 3)) guest_write32(out, arg(env, 2));
  guest_return_value(env, 0, 3);
}

// IDirectDraw::SetCooperativeLevel(this, hWnd, dwFlags)
void set_cooperative_level(Env* env) {
  g_ddraw.window = arg(env, 2);
  RECT client = {0, 0, 0, 0};
  GetClientRect(from_guest<HWND__>(g_ddraw.window), &client);
  g_ddraw.client_width = static_cast<u32>(client.right - client.left);
  g_ddraw.client_height = static_cast<u32>(client.bottom - client.top);
  guest_return_value(env, 0, 3);
}

// IDirectDraw::SetDisplayMode(this, width, height, bpp): the device's display is not changed.
void set_display_mode(Env* env) {
  g_ddraw.display_width = arg(env, 2);
  g_ddraw.display_height = arg(env, 3);
  g_ddraw.bits_per_pixel = arg(env, 4);
  guest_return_value(env, 0, 4);
}

// IDirectDrawSurface::Lock(this, lpDestRect, lpDDSurfaceDesc, dwFlags, hEvent): the buffer itself.
void lock(Env* env) {
  const Surface* s = from_guest<Surface>(arg(env, 1));
  const u32 desc = arg(env, 3);
  if (desc) {
    guest_write32(desc + kHeight, g_ddraw.display_height);
    guest_write32(desc + kWidth, g_ddraw.display_width);
    guest_write32(desc + kFormatSize, 12);
    guest_write32(desc + kFormatFlags, DDPF_PALETTEINDEXED8);
    guest_write32(desc + kPitch, display_pitch());
    guest_write32(desc + kSurface, s->pixels);
  }
  guest_return_value(env, 0, 5);
}

// IDirectDrawSurface::SetPalette(this, lpDDPalette)
void set_palette(Env* env) {
  Surface* s = from_guest<Surface>(arg(env, 1));
  s->palette = arg(env, 2);
  if (const Palette* p = from_guest<Palette>(s->palette)) load_primary_colours(p);
  guest_return_value(env, 0, 2);
}

// IDirectDrawPalette::SetEntries(this, dwFlags, dwStartingEntry, dwCount, lpEntries)
void set_entries(Env* env) {
  Palette* p = from_guest<Palette>(arg(env, 1));
  const i32 first = static_cast<i32>(arg(env, 3)), count = static_cast<i32>(arg(env, 4));
  // Only entries that exist are written.
  if (first >= 0 && count > 0 && first < 256 && arg(env, 5))
    take_entries(p, static_cast<u32>(first), static_cast<u32>(count), arg(env, 5));
  load_primary_colours(p);
  show_primary(false);
  guest_return_value(env, 0, 5);
}

RECT rect_or_source(u32 address, const Surface* source) {
  if (address) return *from_guest<RECT>(address);
  return RECT{0, 0, static_cast<LONG>(source->width), static_cast<LONG>(source->height)};
}

// IDirectDrawSurface::Blt(this, lpDestRect, lpDDSrcSurface, lpSrcRect, dwFlags, lpDDBltFx): copies
// the source's bytes into this surface, then shows the source.
void blt(Env* env) {
  Surface* dst = from_guest<Surface>(arg(env, 1));
  const Surface* src = from_guest<Surface>(arg(env, 3));
  if ((arg(env, 5) & DDBLT_COLORFILL) || !src) {
    guest_return_value(env, 0, 6);
    return;
  }
  const RECT d = rect_or_source(arg(env, 2), src), s = rect_or_source(arg(env, 4), src);
  const Surface* primary = from_guest<Surface>(g_ddraw.primary);
  uint8_t* to = from_guest<uint8_t>(dst->pixels);
  const uint8_t* from = from_guest<uint8_t>(src->pixels);
  const u64 to_size = surface_buffer_size(dst), from_size = surface_buffer_size(src);
  if (primary && primary->width == g_ddraw.client_width) {
    // Row by row with the source's pitch on both sides; horizontal
    // coordinates are bytes. Rows that would leave either buffer are skipped.
    const i64 length = static_cast<i64>(s.right) - s.left;
    for (i64 y = d.top; length > 0 && y < d.bottom; y++) {
      const i64 at_from = y * src->pitch + s.left, at_to = y * src->pitch + d.left;
      if (y < 0 || at_from < 0 || at_to < 0 || static_cast<u64>(at_from + length) > from_size ||
          static_cast<u64>(at_to + length) > to_size)
        continue;
      memmove(to + at_to, from + at_from, static_cast<size_t>(length));
    }
  } else {
    const u64 bytes = static_cast<u64>(src->width) * src->height;
    memmove(to, from, static_cast<size_t>(bytes < from_size ? (bytes < to_size ? bytes : to_size)
                                                            : (from_size < to_size ? from_size : to_size)));
  }
  // Shown always when the destination does not start at the left edge.
  const BITMAPINFO* header = from_guest<BITMAPINFO>(g_ddraw.primary_header);
  u32* last = pixly_last_update();
  if (header && primary && (d.left != 0 || GetTickCount() - *last > 40)) {
    HWND window = from_guest<HWND__>(g_ddraw.window);
    HDC dc = GetDC(window);
    if (primary->width == g_ddraw.client_width)
      SetDIBitsToDevice(dc, d.left, d.top, static_cast<DWORD>(s.right - s.left), static_cast<DWORD>(s.bottom - s.top),
                        s.left, static_cast<int>(src->height) - s.bottom, 0, src->height, from, header,
                        DIB_RGB_COLORS);
    else
      StretchDIBits(dc, 0, 0, static_cast<int>(g_ddraw.client_width), static_cast<int>(g_ddraw.client_height), 0,
                    0, static_cast<int>(src->width), static_cast<int>(src->height), to, header, DIB_RGB_COLORS,
                    SRCCOPY);
    ReleaseDC(window, dc);
    *last = GetTickCount();
  }
  guest_return_value(env, 0, 6);
}

u32 h(NativeHandler handler) { return guest_addr(reinterpret_cast<void*>(handler)); }

// The three tables in IDirectDraw, IDirectDrawSurface and
// IDirectDrawPalette order, filled when the library is loaded.
__attribute__((constructor)) void fill_method_tables() {
  const NativeHandler ddraw[23] = {
      ok<3>, ok<1>, ok<1>, ok<1>, ok<4>, create_palette, create_surface, duplicate_surface, ok<5>, ok<5>, ok<1>,
      ok<3>, ok<2>, ok<3>, ok<2>, ok<2>, ok<2>, ok<2>, ok<2>, ok<1>, set_cooperative_level, set_display_mode,
      ok<3>};
  const NativeHandler surface[36] = {
      ok<3>, ok<1>, ok<1>, ok<2>, ok<2>, blt,   ok<4>, ok<6>, ok<3>, ok<3>,       ok<4>, ok<3>,
      ok<3>, ok<2>, ok<2>, ok<2>, ok<3>, ok<2>, ok<2>, ok<3>, ok<2>, ok<2>,       ok<2>, ok<3>,
      ok<1>, lock,  ok<2>, ok<1>, ok<2>, ok<3>, ok<3>, set_palette, ok<2>, ok<6>, ok<2>, ok<3>};
  const NativeHandler palette[7] = {ok<3>, ok<1>, ok<1>, ok<2>, ok<5>, ok<4>, set_entries};
  for (int i = 0; i < 23; i++) g_ddraw_methods[i] = h(ddraw[i]);
  for (int i = 0; i < 36; i++) g_surface_methods[i] = h(surface[i]);
  for (int i = 0; i < 7; i++) g_palette_methods[i] = h(palette[i]);
}

}  // namespace
