// Host keys to the device's virtual-key codes.
#include <SDL.h>

#include "presenter.h"

UINT present_vk_of_key(int32_t key) {
  if (key >= SDLK_a && key <= SDLK_z) return UINT('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return UINT('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F10) return UINT(0x70 + (key - SDLK_F1));
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return UINT(0x61 + (key - SDLK_KP_1));
  switch (key) {
    case SDLK_RETURN: return 0x0D;     // VK_RETURN
    case SDLK_KP_ENTER: return 0x0D;
    case SDLK_ESCAPE: return 0x1B;     // VK_ESCAPE
    case SDLK_SPACE: return 0x20;      // VK_SPACE
    case SDLK_BACKSPACE: return 0x08;  // VK_BACK
    case SDLK_TAB: return 0x09;        // VK_TAB
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    // Both sides give the generic code, as the device's keyboard does.
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;  // VK_SHIFT
    case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;    // VK_CONTROL
    case SDLK_LALT: case SDLK_RALT: return 0x12;      // VK_MENU
    case SDLK_KP_0: return 0x60;  // VK_NUMPAD0
    case SDLK_KP_MULTIPLY: return 0x6A;
    case SDLK_KP_PLUS: return 0x6B;
    case SDLK_KP_MINUS: return 0x6D;
    case SDLK_KP_PERIOD: return 0x6E;
    case SDLK_KP_DIVIDE: return 0x6F;
    default: return 0;
  }
}
