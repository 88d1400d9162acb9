/* A game's intro through VEXON32, imported by name and by ordinal: plays
   intro.avi (a relative name: the game's folder) with its sound onto the
   screen at (0, 0), then checks the library's refusals. Exits with a mask
   of the checks that failed (0 when all passed). With a movie named on the
   command line it only plays that one and exits with the result (the
   playback benchmark, bench/video/run.sh). */
#include <stdio.h>
#include <string.h>
#include <win32.h>

#include "vexon32.h"

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
    ExitProcess(0x80);
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
  /* Refusals: a missing file, a buffer one byte short, a closed handle. */
  HVXMOVIE none = 0;
  if (VxOpenMovie("missing.avi", &none) != VX_ERR_OPEN || none) failed |= 4;
  static uint8_t frame[160 * 120 * 3];
  if (VxDecodeFrame(movie, 0, frame, sizeof frame - 1, 160 * 3, VX_FORMAT_24) != VX_ERR_BUFFER) failed |= 8;
  if (VxCloseMovie(movie) != VX_OK || VxCloseMovie(movie) != VX_ERR_ARGUMENT) failed |= 16;
  if (strcmp(VxErrorText(VX_ERR_CODEC), "the video is coded in a format this library does not decode") != 0)
    failed |= 32;
  ExitProcess(failed);
  return 1;
}
