/* The translated video library's frames, for the oracle comparison: the
   same output as the native tests/video/vx_dump, through VEXON32's exports.
   Command line: VxDump.exe MOVIE OUT FORMAT... Exit code 0, or the first
   failing result (the text goes to the debug output). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <win32.h>

#include "vexon32.h"

static HANDLE out;

static void put(const void* data, DWORD bytes) {
  DWORD done = 0;
  WriteFile(out, data, bytes, &done, 0);
}

static void fail(int result, const char* what) {
  printf("%s: %s\n", what, VxErrorText(result));
  ExitProcess((unsigned)result);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  (void)instance, (void)previous, (void)command_line, (void)show;
  /* Words of the command line (on the device it holds the arguments only). */
  static char line[1024];
  char* words[16];
  int count = 0;
  strncpy(line, GetCommandLineA(), sizeof line - 1);
  for (char* p = line; *p && count < 16;) {
    while (*p == ' ') p++;
    if (!*p) break;
    char end = ' ';
    if (*p == '"') end = '"', p++;
    words[count++] = p;
    while (*p && *p != end) p++;
    if (*p) *p++ = 0;
  }
  if (count < 3) ExitProcess(200);
  HVXMOVIE movie = 0;
  int r = VxOpenMovie(words[0], &movie);
  if (r) fail(r, "open");
  VxInfo info;
  memset(&info, 0, sizeof info);
  info.size = sizeof info;
  if ((r = VxGetInfo(movie, &info)) != 0) fail(r, "info");
  out = CreateFileA(words[1], GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
  if (out == INVALID_HANDLE_VALUE) ExitProcess(201);
  for (int w = 2; w < count; w++) {
    int bits = atoi(words[w]);
    uint32_t format = bits == 8 ? VX_FORMAT_8 : bits == 555 ? VX_FORMAT_555 : bits == 565 ? VX_FORMAT_565 : VX_FORMAT_24;
    if (strchr(words[w], 'b')) format |= VX_BOTTOM_UP;
    uint32_t depth = bits == 8 ? 1 : bits == 24 ? 3 : 2, pitch = info.width * depth + 7;
    uint8_t* frame = (uint8_t*)malloc(pitch * info.height);
    uint32_t number = 0;
    /* The first format goes frame by frame with VxDecodeNext, the others by number. */
    for (uint32_t f = 0; f < info.frames; f++) {
      r = w == 2 ? VxDecodeNext(movie, frame, pitch * info.height, (int32_t)pitch, format, &number)
                 : VxDecodeFrame(movie, f, frame, pitch * info.height, (int32_t)pitch, format);
      if (r) fail(r, "decode");
      if (w == 2 && number != f) ExitProcess(202);
      for (uint32_t y = 0; y < info.height; y++) put(frame + y * pitch, info.width * depth);
      if (bits == 8) {
        uint8_t colours[256][4];
        VxGetPalette(movie, colours);
        put(colours, sizeof colours);
      }
    }
    if (w == 2 && VxDecodeNext(movie, frame, pitch * info.height, (int32_t)pitch, format, &number) != VX_ERR_END)
      ExitProcess(203);
    free(frame);
  }
  if (info.audio_bytes) {
    uint8_t* sound = (uint8_t*)malloc(info.audio_bytes);
    uint32_t got = 0;
    if ((r = VxReadAudio(movie, 0, sound, info.audio_bytes, &got)) != 0) fail(r, "sound");
    put(sound, got);
  }
  CloseHandle(out);
  if ((r = VxCloseMovie(movie)) != 0) fail(r, "close");
  ExitProcess(0);
  return 0;
}
