/* A game's intro through VEXON32, imported by name and by ordinal: plays
   intro.avi (a relative name: the game's folder) with its sound onto the
   screen at (0, 0); then, silently, through a 24-bit WinG bitmap onto the
   screen at (0, 140) and into a 16-bit DirectDraw primary surface at
   (8, 4), whose pixels must be the last frame's; then checks that a key
   press skips a skippable playback, and the library's refusals. Exits with a mask
   of the checks that failed (0 when all passed). With a movie named on the
   command line it only plays that one and exits with the result (the
   playback benchmark, bench/video/run.sh). */
#include <stdio.h>
#include <string.h>
#include <win32.h>

#include "vexon32.h"

WIN_IMPORT BOOL WINAPI PostMessageA(void* window, unsigned message, unsigned long wparam, long lparam);
WIN_IMPORT HDC WINAPI WinGCreateDC(void);
WIN_IMPORT HGDIOBJ WINAPI WinGCreateBitmap(HDC dc, const DIB_INFO* info, void** bits);
typedef struct Object {
  void** methods;
} Object;
WIN_IMPORT long WINAPI DirectDrawCreate(void* guid, Object** ddraw, void* outer);
typedef long(WINAPI* Method2)(Object*, unsigned long);
typedef long(WINAPI* Method3)(Object*, unsigned long, unsigned long);
typedef long(WINAPI* Method4)(Object*, unsigned long, unsigned long, unsigned long);
typedef long(WINAPI* Method5)(Object*, unsigned long, unsigned long, unsigned long, unsigned long);

/* Plays the movie into a 16-bit primary surface at (8, 4) and compares the
   surface with the last frame decoded on its own. 0 when they agree. */
static unsigned surface_check(HVXMOVIE movie, const VxInfo* info) {
  Object* ddraw = 0;
  Object* primary = 0;
  if (DirectDrawCreate(0, &ddraw, 0) != 0 || !ddraw) return 1;
  ((Method3)ddraw->methods[20])(ddraw, 0, 8);         /* SetCooperativeLevel: normal */
  ((Method4)ddraw->methods[21])(ddraw, 240, 320, 16); /* SetDisplayMode */
  static uint32_t desc[27];
  desc[0] = sizeof desc, desc[1] = 1 /* DDSD_CAPS */, desc[26] = 0x200 /* DDSCAPS_PRIMARYSURFACE */;
  if (((Method4)ddraw->methods[6])(ddraw, (unsigned long)desc, (unsigned long)&primary, 0) != 0 || !primary) return 2;
  int r = VxPlaySurface(movie, primary, 8, 4, VX_PLAY_NO_SOUND);
  if (r != VX_OK) {
    printf("surface: %s\n", VxErrorText(r));
    return 4;
  }
  static uint16_t last[160 * 120];
  if (VxDecodeFrame(movie, info->frames - 1, last, sizeof last, 320, VX_FORMAT_555) != VX_OK) return 8;
  static uint32_t lock[27];
  lock[0] = sizeof lock;
  if (((Method5)primary->methods[25])(primary, 0, (unsigned long)lock, 1, 0) != 0) return 16;
  const uint8_t* pixels = (const uint8_t*)lock[9];
  uint32_t pitch = lock[4];
  for (int y = 0; y < 120; y++)
    if (memcmp(pixels + (4 + y) * pitch + 16, last + y * 160, 320) != 0) return 32;
  ((Method2)primary->methods[32])(primary, 0);
  return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  (void)instance, (void)previous, (void)command_line, (void)show;
  unsigned failed = 0;
  HVXMOVIE movie = 0;
  const char* name = GetCommandLineA(); /* the arguments only, on the device */
  while (*name == ' ') name++;
  if (*name) {
    int r = VxOpenMovie(name, &movie);
    ExitProcess(r ? (unsigned)r : (unsigned)VxPlayWindow(movie, 0, 0, 0, VX_PLAY_SKIPPABLE));
  }
  int r = VxOpenMovie("intro.avi", &movie);
  if (r) {
    printf("intro.avi: %s\n", VxErrorText(r));
    ExitProcess(0xFF);
  }
  VxInfo info;
  memset(&info, 0, sizeof info);
  info.size = sizeof info;
  if (VxGetInfo(movie, &info) != VX_OK || info.width != 160 || info.height != 120 || !info.audio_bytes) failed |= 1;
  r = VxPlayWindow(movie, 0, 0, 0, VX_PLAY_SKIPPABLE);
  if (r != VX_OK) {
    printf("play: %s\n", VxErrorText(r));
    failed |= 2;
  }
  /* Through WinG, silently, below the first picture. */
  HDC screen = GetDC(0), wing = WinGCreateDC();
  static DIB_INFO format = {40, 160, -120, 1, 24, 0, 0, 0, 0, 0, 0, {{0}}};
  void* bits = 0;
  HGDIOBJ bitmap = WinGCreateBitmap(wing, &format, &bits);
  if (!screen || !wing || !bitmap || !SelectObject(wing, bitmap)) failed |= 64;
  else if ((r = VxPlayWinG(movie, screen, wing, bitmap, 0, 140, VX_PLAY_NO_SOUND)) != VX_OK) {
    printf("WinG: %s\n", VxErrorText(r));
    failed |= 64;
  }
  unsigned surface = surface_check(movie, &info);
  if (surface) {
    printf("surface check %u\n", surface);
    failed |= 128;
  }
  /* A key press waiting in the queue ends a skippable playback before its
     first frame. */
  if (!PostMessageA(0, 0x0100 /* WM_KEYDOWN */, 0x20, 0) ||
      VxPlayWindow(movie, 0, 0, 0, VX_PLAY_SKIPPABLE | VX_PLAY_NO_SOUND) != VX_SKIPPED)
    failed |= 16;
  /* Refusals: a missing file, a buffer one byte short, a closed handle. */
  HVXMOVIE none = 0;
  if (VxOpenMovie("missing.avi", &none) != VX_ERR_OPEN || none) failed |= 4;
  static uint8_t frame[160 * 120 * 3];
  if (VxDecodeFrame(movie, 0, frame, sizeof frame - 1, 160 * 3, VX_FORMAT_24) != VX_ERR_BUFFER) failed |= 8;
  if (VxCloseMovie(movie) != VX_OK || VxCloseMovie(movie) != VX_ERR_ARGUMENT) failed |= 8;
  if (strcmp(VxErrorText(VX_ERR_CODEC), "the video is coded in a format this library does not decode") != 0)
    failed |= 32;
  ExitProcess(failed);
  return 1;
}
