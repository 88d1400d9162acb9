// waveOutReset: playback stops at once and every queued header comes back
// done, in order, before the call returns, so that the caller may
// unprepare and free them right away.
#include "wave_out.h"

extern "C" MMRESULT waveOutReset(HWAVEOUT handle) {
  WaveOut* dev = wave_get(handle);
  if (!dev) return MMSYSERR_INVALHANDLE;
  MMRESULT result = MMSYSERR_NOERROR;
  {
    std::unique_lock<std::mutex> hold(dev->lock);
    if (dev->closing) {
      result = MMSYSERR_INVALHANDLE;
    } else {
      for (WAVEHDR* h : dev->queue) dev->retired.push_back(h);
      dev->retired_count += dev->queue.size();
      dev->queue.clear();
      dev->offset = 0;
      dev->generation++;
      dev->wake.notify_all();
      // The audio thread hands them back (after any it is returning now);
      // from inside its own callback, the caller does it.
      if (wave_on_player(dev)) {
        wave_deliver_retired(dev, hold);
      } else {
        const uint64_t target = dev->retired_count;
        dev->wake.wait(hold, [&] { return dev->delivered_count >= target; });
      }
    }
  }
  handle_release(&dev->header);
  return result;
}
