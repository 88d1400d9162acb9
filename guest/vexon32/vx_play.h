/* Playing a whole movie: frames paced by the sound (or by the frame rate
   when there is none), shown by a presenter. */
#ifndef VX_PLAY_H
#define VX_PLAY_H
#include "vx_core.h"

typedef struct VxPresenter {
  void* context;
  /* Puts the movie's current picture on the display. */
  int (*show)(void* context, VxMovie* movie);
} VxPresenter;

int vx_valid(VxMovie* movie);
int vx_play(VxMovie* movie, const VxPresenter* presenter, uint32_t flags);

#endif
