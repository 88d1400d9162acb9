// Opening and closing output devices. Each open makes a device of its own
// with its audio thread; the hardware has one output, which the devices
// share as a mixer would.
#include <cstring>

#include "capture.h"
#include "wave_out.h"
#include "wce/heap.h"
#include "wce/kernel.h"
#include "wce/window.h"

namespace {

void destroy_wave_out(KObject* object) {
  WaveOut* dev = reinterpret_cast<WaveOut*>(object);
  if (dev->thread) CloseHandle(dev->thread);
  delete dev;
}
const KObjectOps kWaveOutOps = {destroy_wave_out, nullptr, nullptr};

// Whether the callback of the open flags is one the device can reach. A
// null target means no notices.
MMRESULT check_callback(DWORD kind, DWORD_PTR callback) {
  switch (kind) {
    case CALLBACK_NULL:
    case CALLBACK_FUNCTION:
    case CALLBACK_THREAD:
      return MMSYSERR_NOERROR;
    case CALLBACK_WINDOW:
      return !callback || IsWindow(reinterpret_cast<HWND>(callback)) ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
    case CALLBACK_EVENT: {
      if (!callback) return MMSYSERR_NOERROR;
      KObject* event = handle_get(reinterpret_cast<HANDLE>(callback), KOBJ_EVENT);
      handle_release(event);
      return event ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
    }
    default:
      return MMSYSERR_INVALFLAG;
  }
}

}  // namespace

WaveOut* wave_get(HWAVEOUT handle) {
  return reinterpret_cast<WaveOut*>(handle_get(reinterpret_cast<HANDLE>(handle), KOBJ_WAVEOUT));
}

extern "C" MMRESULT waveOutOpen(HWAVEOUT* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback,
                                DWORD_PTR instance, DWORD flags) {
  if (id != 0 && id != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
  const DWORD kind = flags & CALLBACK_TYPEMASK;
  if (kind != CALLBACK_NULL && kind != CALLBACK_WINDOW && kind != CALLBACK_THREAD && kind != CALLBACK_FUNCTION &&
      kind != CALLBACK_EVENT)
    return MMSYSERR_INVALFLAG;
  // Read as a PCMWAVEFORMAT: callers may pass one, which has no cbSize.
  constexpr UINT kPcmSize = offsetof(WAVEFORMATEX, cbSize);
  if (!format || IsBadReadPtr(format, kPcmSize)) return MMSYSERR_INVALPARAM;
  WAVEFORMATEX f = {};
  memcpy(&f, format, kPcmSize);
  if (!wave_format_supported(f)) return WAVERR_BADFORMAT;
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
  if (!device || IsBadWritePtr(device, sizeof *device)) return MMSYSERR_INVALPARAM;
  if (MMRESULT bad = check_callback(kind, callback)) return bad;

  WaveOut* dev = new WaveOut{};
  kobject_init(&dev->header, KOBJ_WAVEOUT, &kWaveOutOps);
  dev->id = id;
  dev->format = f;
  dev->callback_kind = kind;
  dev->callback = callback;
  dev->instance = instance;
  dev->volume = 0xFFFFFFFF;
  CaptureClaim claim = capture_claim(f, dev);
  if (claim == CAPTURE_FAILED) {
    // The setting asks for a record that cannot be made: say so rather
    // than play unrecorded.
    delete dev;
    return MMSYSERR_ERROR;
  }
  dev->capturing = claim == CAPTURE_ON;
  dev->stream = device_audio_output()->open(f);
  HANDLE handle = handle_insert(&dev->header);
  if (!handle) {
    device_audio_output()->close(dev->stream);
    capture_release(dev);
    delete dev;
    return MMSYSERR_NOMEM;
  }
  dev->handle = reinterpret_cast<HWAVEOUT>(handle);
  dev->header.refs.fetch_add(1);  // the audio thread's
  dev->thread = CreateThread(nullptr, 0, wave_player_main, dev, 0, nullptr);
  if (!dev->thread) {
    dev->header.refs.fetch_sub(1);
    device_audio_output()->close(dev->stream);
    dev->stream = nullptr;
    capture_release(dev);
    handle_close(handle);
    return MMSYSERR_NOMEM;
  }
  *device = dev->handle;
  wave_notify(dev, WOM_OPEN, 0);
  return MMSYSERR_NOERROR;
}

// As in Win32, a device with headers not yet returned is not closed.
extern "C" MMRESULT waveOutClose(HWAVEOUT handle) {
  WaveOut* dev = wave_get(handle);
  if (!dev) return MMSYSERR_INVALHANDLE;
  MMRESULT refused;
  {
    std::lock_guard<std::mutex> hold(dev->lock);
    refused = dev->closing                                      ? MMSYSERR_INVALHANDLE
              : !dev->queue.empty() || !dev->retired.empty() ? WAVERR_STILLPLAYING
                                                               : MMSYSERR_NOERROR;
    if (!refused) dev->closing = true;
    dev->wake.notify_all();
  }
  if (refused) {
    handle_release(&dev->header);
    return refused;
  }
  handle_close(dev->handle);
  // Closed from its own callback, the audio thread ends when that returns.
  if (!wave_on_player(dev)) WaitForSingleObject(dev->thread, INFINITE);
  wave_notify(dev, WOM_CLOSE, 0);
  handle_release(&dev->header);
  return MMSYSERR_NOERROR;
}

extern "C" MMRESULT waveOutGetID(HWAVEOUT handle, UINT* id) {
  WaveOut* dev = wave_get(handle);
  if (!dev) return MMSYSERR_INVALHANDLE;
  MMRESULT result = MMSYSERR_NOERROR;
  if (!id || IsBadWritePtr(id, sizeof *id))
    result = MMSYSERR_INVALPARAM;
  else
    *id = dev->id;
  handle_release(&dev->header);
  return result;
}
