// Notices to the client: a function on the audio thread, a message posted
// to a window or a thread, or an event set.
#include "wave_out.h"
#include "wce/synch.h"
#include "wce/window.h"

void wave_notify(WaveOut* dev, UINT message, DWORD_PTR param1) {
  if (!dev->callback) return;
  const WPARAM device = reinterpret_cast<WPARAM>(dev->handle);
  switch (dev->callback_kind) {
    case CALLBACK_FUNCTION:
      reinterpret_cast<WAVEOUTPROC>(dev->callback)(dev->handle, message, dev->instance, param1, 0);
      break;
    case CALLBACK_WINDOW:  // MM_WOM_OPEN/CLOSE/DONE have the WOM_* values
      PostMessageW(reinterpret_cast<HWND>(dev->callback), message, device, static_cast<LPARAM>(param1));
      break;
    case CALLBACK_THREAD:
      PostThreadMessageW(static_cast<DWORD>(dev->callback), message, device, static_cast<LPARAM>(param1));
      break;
    case CALLBACK_EVENT:
      SetEvent(reinterpret_cast<HANDLE>(dev->callback));
      break;
  }
}

void wave_deliver_retired(WaveOut* dev, std::unique_lock<std::mutex>& hold) {
  while (!dev->retired.empty()) {
    WAVEHDR* h = dev->retired.front();
    dev->retired.pop_front();
    // Once DONE shows, the guest may reuse or free the header: it is not
    // touched again.
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    hold.unlock();
    wave_notify(dev, WOM_DONE, reinterpret_cast<DWORD_PTR>(h));
    hold.lock();
    dev->delivered_count++;
    dev->wake.notify_all();
  }
}
