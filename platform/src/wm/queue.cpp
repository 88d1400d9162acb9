// Per-thread message queues: posting, sending across threads, the message
// loop (GetMessageW, DispatchMessageW) and WM_QUIT.
#include "wce/kernel.h"
#include "wce/time.h"
#include "wm.h"

namespace {

std::map<DWORD, MessageQueue>& queues() {
  // Never destroyed: a thread may still wait in its queue while the
  // process ends.
  static auto* table = new std::map<DWORD, MessageQueue>;
  return *table;
}

bool matches(const MSG& msg, HWND hwnd, UINT first, UINT last) {
  if (hwnd && msg.hwnd != hwnd) return false;
  if (first == 0 && last == 0) return true;
  return msg.message >= first && msg.message <= last;
}

WNDPROC proc_of(HWND hwnd) {
  Window* w = wm_window(hwnd);
  return w ? w->proc : nullptr;
}

}  // namespace

MessageQueue& wm_queue(DWORD thread) { return queues()[thread]; }

void wm_post_locked(DWORD thread, const MSG& msg) {
  MessageQueue& queue = wm_queue(thread);
  queue.posted.push_back(msg);
  queue.wake.notify_all();
}

void wm_deliver_sent(std::unique_lock<std::mutex>& hold, MessageQueue& queue) {
  while (!queue.sent.empty()) {
    SentMessage* sent = queue.sent.front();
    queue.sent.pop_front();
    WNDPROC proc = proc_of(sent->msg.hwnd);
    hold.unlock();
    LRESULT result = proc ? proc(sent->msg.hwnd, sent->msg.message, sent->msg.wParam, sent->msg.lParam) : 0;
    hold.lock();
    sent->result = result;
    sent->done = true;
    wm_queue(sent->sender).wake.notify_all();
  }
}

extern "C" BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> hold(wm_lock());
  DWORD thread = GetCurrentThreadId();
  if (hwnd) {
    Window* w = wm_window_checked(hwnd);
    if (!w) return FALSE;
    thread = w->thread;
  }
  wm_post_locked(thread, MSG{hwnd, message, wParam, lParam, 0, {0, 0}});
  return TRUE;
}

extern "C" BOOL PostThreadMessageW(DWORD thread, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> hold(wm_lock());
  wm_post_locked(thread, MSG{nullptr, message, wParam, lParam, 0, {0, 0}});
  return TRUE;
}

extern "C" void PostQuitMessage(int exitCode) {
  std::lock_guard<std::mutex> hold(wm_lock());
  MessageQueue& queue = wm_queue(GetCurrentThreadId());
  queue.quit = true;
  queue.quit_code = exitCode;
  queue.wake.notify_all();
}

extern "C" LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::unique_lock<std::mutex> hold(wm_lock());
  Window* w = wm_window_checked(hwnd);
  if (!w) return 0;
  DWORD self = GetCurrentThreadId();
  if (w->thread == self) {
    WNDPROC proc = w->proc;
    hold.unlock();
    return proc(hwnd, message, wParam, lParam);
  }
  // Another thread's window: its thread runs the procedure inside its
  // message loop while we wait, answering messages sent to us meanwhile.
  SentMessage sent{MSG{hwnd, message, wParam, lParam, 0, {0, 0}}, self, 0, false};
  MessageQueue& target = wm_queue(w->thread);
  target.sent.push_back(&sent);
  target.wake.notify_all();
  MessageQueue& own = wm_queue(self);
  while (!sent.done) {
    wm_deliver_sent(hold, own);
    if (!sent.done) own.wake.wait(hold);
  }
  return sent.result;
}

extern "C" BOOL GetMessageW(MSG* msg, HWND hwnd, UINT first, UINT last) {
  std::unique_lock<std::mutex> hold(wm_lock());
  DWORD self = GetCurrentThreadId();
  MessageQueue& queue = wm_queue(self);
  for (;;) {
    wm_deliver_sent(hold, queue);
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
      if (matches(*it, hwnd, first, last)) {
        *msg = *it;
        queue.posted.erase(it);
        wm_note_key_message(*msg);
        return msg->message != WM_QUIT;
      }
    }
    if (queue.quit) {
      queue.quit = false;
      *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quit_code), 0, 0, {0, 0}};
      return FALSE;
    }
    // A window that needs painting gets WM_PAINT once its queue is empty.
    for (auto& [h, w] : wm_windows()) {
      MSG paint{h, WM_PAINT, 0, 0, 0, {0, 0}};
      if (w.thread == self && w.needs_paint && matches(paint, hwnd, first, last)) {
        *msg = paint;
        return TRUE;
      }
    }
    if (wm_due_timer(self, hwnd, first, last, true, msg)) return TRUE;
    WmClock::time_point due;
    if (wm_next_timer(self, &due))
      queue.wake.wait_until(hold, due);
    else
      queue.wake.wait(hold);
  }
}

extern "C" LRESULT DispatchMessageW(const MSG* msg) {
  // A timer with a procedure calls it instead of the window's (only the
  // procedure of a live timer: WM_TIMER can be posted with any lParam).
  if (msg && msg->message == WM_TIMER && msg->lParam) {
    TIMERPROC proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    bool live;
    {
      std::lock_guard<std::mutex> hold(wm_lock());
      live = wm_timer_has_proc(msg->hwnd, msg->wParam, proc);
    }
    if (live) proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (!msg || !msg->hwnd) return 0;
  WNDPROC proc;
  {
    std::lock_guard<std::mutex> hold(wm_lock());
    proc = proc_of(msg->hwnd);
  }
  if (!proc) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
