// The presenter: where the device's screen, pen, keys and message boxes
// meet the host. Two implement it: headless (no window; the screen is seen
// through the capture file) and an SDL2 window. Only the files of this
// folder whose names begin with "sdl_" include SDL headers.
#pragma once

#include <cstdint>

#include "wce/types.h"

struct Presenter {
  const char* name;
  // Whether the user sees a window: message boxes are drawn on it and
  // answered by the user instead of by their default button.
  bool display;
  // The screen's pixels changed. Called by the drawing thread with
  // g_gdi_lock held; it only marks the frame. At the display's next
  // refresh the presenter copies the screen (taking g_gdi_lock for that
  // one copy).
  void (*screen_changed)(void);
  // An image drawn over the screen at (x, y) in screen coordinates, RGB
  // 5-6-5, `width` pixels a row (a message box); null pixels take it away.
  // The presenter keeps its own copy.
  void (*show_overlay)(const uint16_t* pixels, int x, int y, int width, int height);
};

// The presenter of this process, chosen at first use by DEVICE_PRESENTER
// ("sdl" or "headless"; by default the SDL window when DISPLAY is set and
// a window opens, else headless).
const Presenter* device_presenter(void);
// Host pixels per screen pixel (DEVICE_SCALE, 1..8, default 2).
int device_present_scale(void);

// The presenters. sdl_presenter_start() opens the window on the
// presenter's own thread and returns null when it cannot.
const Presenter* headless_presenter(void);
const Presenter* sdl_presenter_start(int scale);

// Input from the presenter's thread. It goes to the window manager
// (device_input_*), or to the route set while a message box is open.
struct InputRoute {
  void (*pen)(int action, int x, int y);
  void (*key)(UINT vk, bool down);
  void (*close)(void);
};
void present_route_input(const InputRoute* route);  // null: back to the window manager
void present_pen(int action, int x, int y);
void present_key(UINT vk, bool down);
void present_close(void);

// Frame conversion (pure, for the presenter and its tests): the RGB 5-6-5
// frame `src` (width x height, rows packed) to 0x00RRGGBB pixels, each
// source pixel a scale x scale block; `dst` rows are dst_pitch pixels.
void present_scale_frame(const uint16_t* src, int width, int height, int scale, uint32_t* dst, int dst_pitch);
// Copies an overlay onto a frame (both RGB 5-6-5), clipped to the frame.
void present_overlay_frame(uint16_t* frame, int width, int height, const uint16_t* overlay, int x, int y,
                           int overlay_width, int overlay_height);
// A host window point to a screen point: divided by the scale and kept
// inside the screen (a drag may leave the window).
void present_host_to_screen(int host_x, int host_y, int scale, int width, int height, int* x, int* y);
// An SDL key code to a Windows virtual-key code; 0 when the key has none.
UINT present_vk_of_key(int32_t sdl_keycode);
