/* WinG from a real guest program: the recommended format, a WinG DC and an
   8-bit top-down bitmap whose pixels the program writes itself (four bands
   of colour), copied to the screen once as it is and once stretched twice
   as large. Exits with a bit mask of the calls that failed. */
#include <string.h>
#include <win32.h>

WIN_IMPORT BOOL WINAPI WinGRecommendDIBFormat(DIB_INFO* format);
WIN_IMPORT HDC WINAPI WinGCreateDC(void);
WIN_IMPORT HGDIOBJ WINAPI WinGCreateBitmap(HDC dc, const DIB_INFO* info, void** bits);
WIN_IMPORT void* WINAPI WinGGetDIBPointer(HGDIOBJ bitmap, DIB_INFO* info);
WIN_IMPORT BOOL WINAPI WinGBitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy);
WIN_IMPORT BOOL WINAPI WinGStretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy,
                                      int swidth, int sheight);

static DIB_INFO info, seen;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  unsigned failed = 0;
  if (!WinGRecommendDIBFormat(&info) || info.bits != 8 || info.height != -1) failed |= 1;
  info.width = 64;
  info.height = -64;
  static const unsigned char band[4][4] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}};
  for (int i = 0; i < 4; i++) memcpy(info.colours[i + 1], band[i], 4);
  HDC dc = WinGCreateDC();
  unsigned char* pixels = 0;
  HGDIOBJ bitmap = WinGCreateBitmap(dc, &info, (void**)&pixels);
  if (!dc || !bitmap || !pixels || WinGGetDIBPointer(bitmap, &seen) != pixels || seen.width != 64) failed |= 2;
  /* Rows 0-15 colour 1 (red), 16-31 green, 32-47 blue, 48-63 white. */
  if (pixels)
    for (int y = 0; y < 64; y++) memset(pixels + y * 64, 1 + y / 16, 64);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HDC screen = GetDC(0);
  PatBlt(screen, 0, 0, 240, 320, 0x42);
  if (!WinGBitBlt(screen, 20, 20, 64, 64, dc, 0, 0)) failed |= 4;
  if (!WinGStretchBlt(screen, 100, 20, 128, 128, dc, 0, 0, 64, 64)) failed |= 8;
  ReleaseDC(0, screen);
  SelectObject(dc, old);
  if (!DeleteObject(bitmap) || !DeleteDC(dc)) failed |= 16;
  ExitProcess(failed);
  return 1;
}
