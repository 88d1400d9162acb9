// Preparing and unpreparing headers. The device keeps nothing per
// prepared header: the flag is the whole state, as the guest sees it.
#include "wave_out.h"
#include "wce/heap.h"

namespace {

// Runs `change` on a usable header of an open device, under its lock.
template <typename Change>
MMRESULT with_header(HWAVEOUT handle, WAVEHDR* header, UINT size, Change change) {
  WaveOut* dev = wave_get(handle);
  if (!dev) return MMSYSERR_INVALHANDLE;
  MMRESULT result;
  {
    std::lock_guard<std::mutex> hold(dev->lock);
    if (dev->closing)
      result = MMSYSERR_INVALHANDLE;
    else if (!wave_header_usable(header, size))
      result = MMSYSERR_INVALPARAM;
    else
      result = change(dev, header);
  }
  handle_release(&dev->header);
  return result;
}

}  // namespace

bool wave_header_usable(WAVEHDR* header, UINT size) {
  return header && size >= sizeof(WAVEHDR) && !IsBadReadPtr(header, sizeof *header) &&
         !IsBadWritePtr(&header->dwFlags, sizeof header->dwFlags);
}

extern "C" MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) {
  return with_header(handle, header, size, [](WaveOut*, WAVEHDR* h) {
    h->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
  });
}

extern "C" MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) {
  return with_header(handle, header, size, [](WaveOut*, WAVEHDR* h) {
    if (h->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    h->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
  });
}

// Queued headers are played in order; loops (WHDR_BEGINLOOP/ENDLOOP) are
// played once.
extern "C" MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) {
  return with_header(handle, header, size, [](WaveOut* dev, WAVEHDR* h) -> MMRESULT {
    if (!(h->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    // Queued twice, a header would be played and returned twice.
    if (h->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (h->dwBufferLength && (!h->lpData || IsBadReadPtr(h->lpData, h->dwBufferLength))) return MMSYSERR_INVALPARAM;
    h->dwFlags = (h->dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
    dev->queue.push_back(h);
    dev->wake.notify_all();
    return MMSYSERR_NOERROR;
  });
}
