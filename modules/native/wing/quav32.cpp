// The WinG module, registered as "QUAV32": WinG's device-independent
// bitmaps are the device's DIB sections, its DCs memory DCs, its blits
// copies; every object returned is the device's own GDI object, which the
// guest frees through the graphics handlers. Exported by name only.
#include <cstring>

#include "native_frame.h"
#include "wce/gdi.h"

using services::pass_through;

namespace {

HDC create_dc(void) { return CreateCompatibleDC(nullptr); }

BOOL bit_blt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy) {
  return BitBlt(dst, x, y, width, height, src, sx, sy, SRCCOPY);
}

BOOL stretch_blt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int swidth, int sheight) {
  return StretchBlt(dst, x, y, width, height, src, sx, sy, swidth, sheight, SRCCOPY);
}

HBITMAP create_bitmap(HDC dc, const BITMAPINFO* header, void** bits) {
  return CreateDIBSection(dc, header, DIB_RGB_COLORS, bits, nullptr, 0);
}

// The DC and the dither type do not matter: a solid brush of the colour.
HBRUSH create_halftone_brush(HDC, COLORREF color, int) { return CreateSolidBrush(color); }

// 320 x 200-style 8-bit top-down DIBs are what WinG draws fastest.
BOOL recommend_dib_format(BITMAPINFOHEADER* format) {
  if (!format) return FALSE;
  memset(format, 0, sizeof *format);
  format->biSize = sizeof *format;
  format->biWidth = 320;
  format->biHeight = -1;
  format->biPlanes = 1;
  format->biBitCount = 8;
  return TRUE;
}

// The pixels of a DIB section, and its header with the first colour mask
// (44 bytes) copied to the guest's record; 0 for anything else.
void* get_dib_pointer(HBITMAP bitmap, BITMAPINFO* header) {
  DIBSECTION section;
  if (GetObjectW(bitmap, sizeof section, &section) != static_cast<int>(sizeof section)) return nullptr;
  if (header) memcpy(header, &section.dsBmih, sizeof section.dsBmih + sizeof section.dsBitfields[0]);
  return section.dsBm.bmBits;
}

// The twenty static colours, in the order WinG gives them.
constexpr PALETTEENTRY kStatic[20] = {
    {0, 0, 0, 0},          {0x80, 0, 0, 0},       {0, 0x80, 0, 0},       {0x80, 0x80, 0, 0},
    {0, 0, 0x80, 0},       {0x80, 0, 0x80, 0},    {0, 0x80, 0x80, 0},    {0xC0, 0xC0, 0xC0, 0},
    {0xC0, 0xDC, 0xC0, 0}, {0xA6, 0xCA, 0xF0, 0}, {0xFF, 0xFB, 0xF0, 0}, {0xA0, 0xA0, 0xA4, 0},
    {0x80, 0x80, 0x80, 0}, {0xFF, 0, 0, 0},       {0, 0xFF, 0, 0},       {0xFF, 0xFF, 0, 0},
    {0, 0, 0xFF, 0},       {0xFF, 0, 0xFF, 0},    {0, 0xFF, 0xFF, 0},    {0xFF, 0xFF, 0xFF, 0}};

// A 256-entry palette: the system palette as the screen has it, with the
// twenty static colours over its first twenty entries (keeping the rest
// gives the guest a full palette to draw 8-bit pixels with).
HPALETTE create_halftone_palette(void) {
  struct {
    WORD version, count;
    PALETTEENTRY entries[256];
  } palette;
  memset(&palette, 0, sizeof palette);
  palette.version = 0x300;
  palette.count = 256;
  if (HDC screen = GetDC(nullptr)) {
    GetSystemPaletteEntries(screen, 0, 256, palette.entries);
    ReleaseDC(nullptr, screen);
  }
  memcpy(palette.entries, kStatic, sizeof kStatic);
  return CreatePalette(reinterpret_cast<const LOGPALETTE*>(&palette));
}

}  // namespace

const char g_native_name[] = "QUAV32";
ExportEntry g_native_exports[] = {
    NATIVE_EXPORT("WinGBitBlt", pass_through<bit_blt>),
    NATIVE_EXPORT("WinGCreateBitmap", pass_through<create_bitmap>),
    NATIVE_EXPORT("WinGCreateDC", pass_through<create_dc>),
    NATIVE_EXPORT("WinGCreateHalftoneBrush", pass_through<create_halftone_brush>),
    NATIVE_EXPORT("WinGCreateHalftonePalette", pass_through<create_halftone_palette>),
    NATIVE_EXPORT("WinGGetDIBColorTable", pass_through<GetDIBColorTable>),
    NATIVE_EXPORT("WinGGetDIBPointer", pass_through<get_dib_pointer>),
    NATIVE_EXPORT("WinGRecommendDIBFormat", pass_through<recommend_dib_format>),
    NATIVE_EXPORT("WinGSetDIBColorTable", pass_through<SetDIBColorTable>),
    NATIVE_EXPORT("WinGStretchBlt", pass_through<stretch_blt>),
    {0, 0},
};
