/* Drawing from a real guest program: the screen cleared to black, an
   8-bit DIB with a four-colour table stretched onto it, and a white
   compatible bitmap drawn in a memory DC and copied to the screen. Exits
   with a bit mask of the calls that failed (0 when all succeeded). */
#include <win32.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  unsigned failed = 0;
  HDC screen = GetDC(0);
  if (!screen) ExitProcess(0x80);
  int width = GetDeviceCaps(screen, 8), height = GetDeviceCaps(screen, 10);
  if (!PatBlt(screen, 0, 0, width, height, BLACKNESS)) failed |= 1;
  /* 4 x 4, top-down, each row red, green, blue, yellow. */
  static const unsigned char pixels[4][4] = {{0, 1, 2, 3}, {0, 1, 2, 3}, {0, 1, 2, 3}, {0, 1, 2, 3}};
  static DIB_INFO info = {40, 4, -4, 1, 8, 0, 0, 0, 0, 4, 0,
                          {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {0, 255, 255, 0}}};
  if (StretchDIBits(screen, 10, 10, 32, 32, 0, 0, 4, 4, pixels, &info, 0, SRCCOPY) != 4) failed |= 2;
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ bitmap = CreateCompatibleBitmap(screen, 64, 64);
  HGDIOBJ old = SelectObject(memory, bitmap);
  if (!memory || !bitmap || !old) failed |= 4;
  if (!PatBlt(memory, 0, 0, 64, 64, WHITENESS) || !BitBlt(screen, 100, 100, 64, 64, memory, 0, 0, SRCCOPY))
    failed |= 8;
  SelectObject(memory, old);
  if (!DeleteObject(bitmap) || !DeleteDC(memory)) failed |= 16;
  if (ReleaseDC(0, screen) != 1) failed |= 32;
  ExitProcess(failed);
  return 1;
}
