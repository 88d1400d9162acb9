// The device's graphics: the screen (a 16-bit RGB 5-6-5 framebuffer of the
// device's screen size), device contexts on the screen, on a window's
// client area and on memory bitmaps, bitmaps, palettes and the block
// transfers. Records have their Win32 32-bit layouts. With the device
// setting DEVICE_SCREEN_CAPTURE the screen is written to that file (a
// 24-bit BMP) after every drawing operation that reaches it, so that tests
// can look at it.
#pragma once

#include "wce/types.h"

struct HDC__;
typedef HDC__* HDC;
typedef void* HGDIOBJ;
struct HBITMAP__;
typedef HBITMAP__* HBITMAP;
struct HPALETTE__;
typedef HPALETTE__* HPALETTE;
struct HBRUSH__;
typedef HBRUSH__* HBRUSH;
typedef DWORD COLORREF;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};
static_assert(sizeof(BITMAP) == 24, "BITMAP layout");

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: bottom-up rows; negative: top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];  // colours, WORD palette indices (DIB_PAL_COLORS) or three BI_BITFIELDS masks
};

// What GetObjectW gives for a DIB section: its BITMAP (bmBits the pixels),
// its header, the three colour masks (BI_BITFIELDS), the file mapping (none
// on the device) and its offset.
struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};
static_assert(sizeof(DIBSECTION) == 84 && offsetof(DIBSECTION, dsBmih) == 24 && offsetof(DIBSECTION, dsBitfields) == 64,
              "DIBSECTION layout");

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

struct LOGPALETTE {
  WORD palVersion;  // 0x300
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};
static_assert(offsetof(LOGPALETTE, palPalEntry) == 4, "LOGPALETTE layout");

enum : DWORD {
  // Raster operations
  SRCCOPY = 0x00CC0020,
  SRCPAINT = 0x00EE0086,
  SRCAND = 0x008800C6,
  SRCINVERT = 0x00660046,
  SRCERASE = 0x00440328,
  NOTSRCCOPY = 0x00330008,
  NOTSRCERASE = 0x001100A6,
  MERGEPAINT = 0x00BB0226,
  PATCOPY = 0x00F00021,
  PATINVERT = 0x005A0049,
  DSTINVERT = 0x00550009,
  BLACKNESS = 0x00000042,
  WHITENESS = 0x00FF0062,
  // DIB colour tables and compressions
  DIB_RGB_COLORS = 0,
  DIB_PAL_COLORS = 1,
  BI_RGB = 0,
  BI_BITFIELDS = 3,
  // Palette entry flags
  PC_RESERVED = 0x01,
  PC_EXPLICIT = 0x02,
  PC_NOCOLLAPSE = 0x04,
};

// DrawTextW formats and background modes.
enum : UINT {
  DT_TOP = 0x0,
  DT_LEFT = 0x0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10,
  DT_SINGLELINE = 0x20,
  DT_NOCLIP = 0x100,
  DT_CALCRECT = 0x400,
};
enum : int {
  TRANSPARENT = 1,
  OPAQUE = 2,
};
#define CLR_INVALID 0xFFFFFFFFu

// GetDeviceCaps indices and RASTERCAPS bits.
enum : int {
  DRIVERVERSION = 0,
  TECHNOLOGY = 2,
  HORZSIZE = 4,
  VERTSIZE = 6,
  HORZRES = 8,
  VERTRES = 10,
  BITSPIXEL = 12,
  PLANES = 14,
  NUMCOLORS = 24,
  RASTERCAPS = 38,
  LOGPIXELSX = 88,
  LOGPIXELSY = 90,
  SIZEPALETTE = 104,
  NUMRESERVED = 106,
  COLORRES = 108,
  RC_BITBLT = 0x0001,
  RC_PALETTE = 0x0100,
  RC_DI_BITMAP = 0x0080,
  RC_DIBTODEV = 0x0200,
  RC_STRETCHBLT = 0x0800,
  RC_STRETCHDIB = 0x2000,
};

extern "C" {
// Device contexts. GetDC(null) is the whole screen; GetDC(window) the
// window's client area (its origin and clip).
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);
// Bitmaps (and palettes for DeleteObject).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bits_per_pixel, const void* bits);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
// Palettes.
HPALETTE CreatePalette(const LOGPALETTE* palette);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL background);
UINT RealizePalette(HDC dc);
BOOL AnimatePalette(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries);
UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries);
// Block transfers.
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int swidth, int sheight,
                DWORD rop);
int StretchDIBits(HDC dc, int x, int y, int width, int height, int sx, int sy, int swidth, int sheight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
// A DIB unscaled at (x, y): (sx, sy) is the lower-left corner of the
// source rectangle counted from the DIB's last row, and `bits` holds
// `lines` scan lines from scan line `start` (counted from the bottom; a
// band only of a bottom-up DIB). Returns the scan lines set, 0 on failure.
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int sx, int sy, UINT start, UINT lines,
                      const void* bits, const BITMAPINFO* info, UINT usage);
BOOL OffsetRect(RECT* rect, int dx, int dy);

// DIB sections: bitmaps whose pixels (rows padded to 4 bytes, top-down
// when biHeight < 0) the caller reads and writes directly at *bits; 1, 4
// and 8-bit ones carry their own colour table, which Get/SetDIBColorTable
// reach through a DC the section is selected into.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
// The object's record: BITMAP (24 bytes) for a bitmap, DIBSECTION (84) for
// a DIB section when size allows, the entry count (a WORD) for a palette,
// LOGBRUSH (12) for a brush; returns the bytes written, 0 for a bad handle.
int GetObjectW(HGDIOBJ object, int size, void* out);
// Solid brushes: SelectObject puts one into a DC for PatBlt and the PAT rops.
HBRUSH CreateSolidBrush(COLORREF color);

// Text in the device's font (the device has one font, about 12 pixels a
// line). DrawTextW takes DT_LEFT, DT_CENTER, DT_RIGHT, DT_VCENTER and
// DT_BOTTOM (single lines only), DT_SINGLELINE, DT_WORDBREAK, DT_NOCLIP and
// DT_CALCRECT; count -1 means up to the terminating zero. It returns the
// height of the text, 0 on failure.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);

// For tests and presenters: the screen's pixels (RGB 5-6-5, rows top
// down, device_screen_width() pixels each), and writing them to a BMP.
const uint16_t* device_screen_pixels(void);
BOOL device_write_screen(const char* path);
}
