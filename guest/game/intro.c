/* The intro movie, intro.avi in the game folder, played through the video
   library (VEXON32) into the game's window; a tap or a key skips it. The
   library is loaded when needed, so a device without it, or a missing or
   damaged movie, only costs a line in the game's log. */
#include "game.h"

typedef int(WINAPI* OpenMovie)(const char* path, void** movie);
typedef int(WINAPI* PlayWindow)(void* movie, HWND window, int x, int y, DWORD flags);
typedef int(WINAPI* CloseMovie)(void* movie);
typedef const char*(WINAPI* ErrorText)(int result);

#define VX_OK 0
#define VX_SKIPPED 1
#define VX_PLAY_SKIPPABLE 1

void intro_play(HWND window) {
  HINSTANCE video = LoadLibraryA("VEXON32.DLL");
  if (!video) {
    game_log("intro: the video library is not installed\n");
    return;
  }
  OpenMovie open = (OpenMovie)GetProcAddress(video, "VxOpenMovie");
  PlayWindow play = (PlayWindow)GetProcAddress(video, "VxPlayWindow");
  CloseMovie close = (CloseMovie)GetProcAddress(video, "VxCloseMovie");
  ErrorText text = (ErrorText)GetProcAddress(video, "VxErrorText");
  if (!open || !play || !close || !text) {
    game_log("intro: the video library lacks its playback functions\n");
    return;
  }
  void* movie = 0;
  int result = open("intro.avi", &movie);
  if (result == VX_OK) {
    game_log("intro: playing\n");
    result = play(movie, window, 0, 0, VX_PLAY_SKIPPABLE);
    close(movie);
  }
  if (result == VX_SKIPPED) game_log("intro: skipped\n");
  else if (result != VX_OK) game_log("intro: %s\n", text(result));
  else game_log("intro: played\n");
}
