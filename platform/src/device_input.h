// Input from the presenter (the host window) to the window manager. The
// presenter calls these from its own thread, in device screen coordinates
// of the current orientation; the window manager turns them into messages
// for the window under the pen or the focus window, and keeps the state
// that GetAsyncKeyState, GetCursorPos and SHRecognizeGesture read.
#pragma once

#include "wce/types.h"

enum DevicePenAction {
  DEVICE_PEN_DOWN = 1,   // stylus touches (left mouse button pressed)
  DEVICE_PEN_MOVE = 2,   // moves, while down or not
  DEVICE_PEN_UP = 3,     // lifted
  DEVICE_PEN_GESTURE = 4 // the host's right button: the tap-and-hold gesture at once
};

// A pen action at screen point (x, y). DEVICE_PEN_GESTURE presses the pen
// (or, while it is down, marks it held) so that SHRecognizeGesture answers
// at once; moves and DEVICE_PEN_UP follow as for the left button. Moves
// while the pen is up are dropped.
void device_input_pen(int action, int x, int y);
// A hardware key, as a Windows virtual-key code, pressed or released.
// Held keys repeat as the host repeats them (down again without up).
void device_input_key(UINT vk, bool down);
// The user closed the host window: WM_CLOSE to the game's top-level window.
void device_input_close();
