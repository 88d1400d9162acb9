// TranslateMessage: the character a key press makes, on the device's US
// layout, with Shift, Caps Lock and Control as they stood when the message
// was taken from the queue (GetKeyState's view, not the keyboard's now).
#include <atomic>

#include "wm.h"

namespace {

// Bit 0x80 down, bit 0x01 toggled; moved by key messages as the thread
// takes them.
std::atomic<uint8_t> g_taken[256];

void note(UINT vk, bool down) {
  uint8_t state = g_taken[vk].load();
  if (down && !(state & 0x80) && vk == 0x14) state ^= 0x01;
  state = down ? (state | 0x80) : (state & 0x7F);
  g_taken[vk].store(state);
}

constexpr UINT kShift = 0x10, kControl = 0x11, kCapsLock = 0x14;

// Shifted digits 0 to 9.
const char kShiftedDigits[] = ")!@#$%^&*(";

struct Punctuation {
  UINT vk;
  char plain, shifted;
};
const Punctuation kPunctuation[] = {
    {0xBA, ';', ':'}, {0xBB, '=', '+'}, {0xBC, ',', '<'}, {0xBD, '-', '_'}, {0xBE, '.', '>'},
    {0xBF, '/', '?'}, {0xC0, '`', '~'}, {0xDB, '[', '{'}, {0xDC, '\\', '|'}, {0xDD, ']', '}'},
    {0xDE, '\'', '"'},
};

// 0 when the key makes no character.
WPARAM character_of(UINT vk) {
  const bool shift = g_taken[kShift].load() & 0x80;
  const bool control = g_taken[kControl].load() & 0x80;
  const bool caps = g_taken[kCapsLock].load() & 0x01;
  if (vk >= 'A' && vk <= 'Z') {
    if (control) return vk - 'A' + 1;
    return shift != caps ? vk : vk + 0x20;
  }
  if (control) return 0;
  if (vk >= '0' && vk <= '9') return shift ? static_cast<WPARAM>(kShiftedDigits[vk - '0']) : vk;
  if (vk >= 0x60 && vk <= 0x69) return '0' + (vk - 0x60);  // keypad digits
  switch (vk) {
    case 0x08: case 0x09: case 0x0D: case 0x1B: case 0x20:  // Backspace, Tab, Enter, Escape, Space
      return vk;
    case 0x6A: return '*';
    case 0x6B: return '+';
    case 0x6D: return '-';
    case 0x6E: return '.';
    case 0x6F: return '/';
  }
  for (const Punctuation& p : kPunctuation)
    if (p.vk == vk) return static_cast<WPARAM>(shift ? p.shifted : p.plain);
  return 0;
}

}  // namespace

void wm_note_key_message(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) return;
  const UINT vk = static_cast<UINT>(msg.wParam) & 0xFF;
  const bool down = msg.message == WM_KEYDOWN;
  note(vk, down);
  if (vk == 0xA0 || vk == 0xA1) note(kShift, down);
  if (vk == 0xA2 || vk == 0xA3) note(kControl, down);
  if (vk == 0xA4 || vk == 0xA5) note(0x12, down);
}

// Bit 15: down when the thread's latest key message was taken; bit 0:
// toggled.
extern "C" SHORT GetKeyState(int vk) {
  if (vk < 0 || vk > 0xFF) return 0;
  const uint8_t state = g_taken[vk].load();
  return static_cast<SHORT>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
}

// Posts WM_CHAR for a key press that makes a character (with the press's
// lParam); answers whether the message was a key message.
extern "C" BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP)) return FALSE;
  if (msg->message == WM_KEYDOWN)
    if (WPARAM ch = character_of(static_cast<UINT>(msg->wParam) & 0xFF))
      PostMessageW(msg->hwnd, WM_CHAR, ch, msg->lParam);
  return TRUE;
}
