// PeekMessageW: the message loop's look without waiting. Sent messages for
// the thread are delivered first, as in GetMessageW.
#include "wce/kernel.h"
#include "wm.h"

namespace {

bool wanted(const MSG& msg, HWND hwnd, UINT first, UINT last) {
  if (hwnd && msg.hwnd != hwnd) return false;
  if (first == 0 && last == 0) return true;
  return msg.message >= first && msg.message <= last;
}

}  // namespace

extern "C" BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove) {
  std::unique_lock<std::mutex> hold(wm_lock());
  DWORD self = GetCurrentThreadId();
  MessageQueue& queue = wm_queue(self);
  wm_deliver_sent(hold, queue);
  bool take = (remove & PM_REMOVE) != 0;
  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (wanted(*it, hwnd, first, last)) {
      *msg = *it;
      if (take) {
        queue.posted.erase(it);
        wm_note_key_message(*msg);
      }
      return TRUE;
    }
  }
  if (queue.quit) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quit_code), 0, 0, {0, 0}};
    if (take) queue.quit = false;
    return TRUE;
  }
  for (auto& [h, w] : wm_windows()) {
    MSG paint{h, WM_PAINT, 0, 0, 0, {0, 0}};
    if (w.thread == self && w.needs_paint && wanted(paint, hwnd, first, last)) {
      *msg = paint;  // stays until the window is painted, as in Win32
      return TRUE;
    }
  }
  return wm_due_timer(self, hwnd, first, last, take, msg) ? TRUE : FALSE;
}
