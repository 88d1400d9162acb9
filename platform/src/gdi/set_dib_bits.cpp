// SetDIBitsToDevice: a DIB drawn unscaled. Its source origin is the lower
// left corner of the rectangle, counted from the DIB's last row whatever
// the row order, and `bits` may hold a band of scan lines (counted from the
// bottom) of a bottom-up DIB; both are mapped onto StretchDIBits.
#include <algorithm>
#include <cstring>

#include "wce/gdi.h"
#include "wce/kernel.h"

extern "C" int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int sx, int sy, UINT start,
                                 UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  if (!info || !bits || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || width > 0x7FFFFFFF ||
      height > 0x7FFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const LONG full = info->bmiHeader.biHeight;
  const int64_t rows = full < 0 ? -static_cast<int64_t>(full) : full;
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  if (start == 0 && lines >= rows) {
    // The whole image: StretchDIBits counts a top-down DIB's rows from the top.
    const int64_t top = full < 0 ? rows - sy - h : sy;
    if (!StretchDIBits(dc, x, y, w, h, sx, static_cast<int>(top), w, h, bits, info, usage, SRCCOPY)) return 0;
    return static_cast<int>(rows);
  }
  if (full < 0 || static_cast<int64_t>(start) >= rows || lines == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // A band of a bottom-up DIB: scan lines start .. start + lines - 1. Only
  // the part of the rectangle inside the band is drawn.
  const int64_t band_end = std::min<int64_t>(static_cast<int64_t>(start) + lines, rows);
  const int64_t low = std::max<int64_t>(sy, start), high = std::min<int64_t>(static_cast<int64_t>(sy) + h, band_end);
  if (low >= high) return static_cast<int>(band_end - start);
  // The band as a DIB of its own: header copied with its height cut, the
  // colour table after it kept.
  const BITMAPINFOHEADER& header = info->bmiHeader;
  size_t entries = 0;
  if (header.biBitCount <= 8) entries = header.biClrUsed ? header.biClrUsed : 1u << header.biBitCount;
  size_t entry_size = usage == DIB_PAL_COLORS ? sizeof(WORD) : sizeof(RGBQUAD);
  if (header.biCompression == BI_BITFIELDS) entries = 3, entry_size = sizeof(DWORD);
  uint8_t copy[124 + 256 * sizeof(RGBQUAD)];
  const size_t size = header.biSize + std::min<size_t>(entries, 256) * entry_size;
  if (size > sizeof copy) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  memcpy(copy, info, size);
  BITMAPINFO* band = reinterpret_cast<BITMAPINFO*>(copy);
  band->bmiHeader.biHeight = static_cast<LONG>(band_end - start);
  band->bmiHeader.biSizeImage = 0;
  // Destination rows: the rectangle's top is at y for source row sy + h - 1.
  const int dest_y = y + static_cast<int>(static_cast<int64_t>(sy) + h - high);
  const int part = static_cast<int>(high - low);
  if (!StretchDIBits(dc, x, dest_y, w, part, sx, static_cast<int>(low - start), w, part, bits, band, usage, SRCCOPY))
    return 0;
  return static_cast<int>(band_end - start);
}
