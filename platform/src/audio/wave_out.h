// Waveform output inside the device. An HWAVEOUT is a handle of the
// process-wide table naming a WaveOut; each WaveOut owns one audio thread
// that plays the queued headers in order at real-time pace into the host's
// sound output (SDL, or the null output) and into the capture file, when
// there is one.
//
// Headers move: waveOutWrite -> `queue` (the front one plays) -> `retired`
// (played through, or taken by a reset) -> marked done and WOM_DONE
// delivered, one at a time, in order. Client callbacks never run with
// `lock` held, so they may call back into the device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "handles.h"
#include "present/audio_output.h"
#include "wce/audio.h"

struct WaveOut {
  KObject header;
  HWAVEOUT handle;
  UINT id;  // as opened: 0 or WAVE_MAPPER
  WAVEFORMATEX format;
  DWORD callback_kind;  // CALLBACK_* of the open flags
  DWORD_PTR callback;
  DWORD_PTR instance;
  HANDLE thread;  // the audio thread
  bool capturing;  // this device holds the capture file
  AudioStream* stream;  // on the host's output; null when silent
  std::atomic<DWORD> volume;  // low word left, high word right

  std::mutex lock;  // guards what follows, and the flags of headers it holds
  std::condition_variable wake;  // any change below
  std::deque<WAVEHDR*> queue;
  std::deque<WAVEHDR*> retired;
  uint64_t retired_count;    // headers ever put in `retired`
  uint64_t delivered_count;  // of those, the ones whose WOM_DONE has returned
  DWORD offset;              // bytes of the front header played
  uint32_t generation;       // bumped by a reset: the slice in play is dropped
  bool closing;
};

// The device of a handle with a reference taken (give it back with
// handle_release), or null when the handle is no open device.
WaveOut* wave_get(HWAVEOUT handle);

// Whether the device can play this format (PCM, 8/16 bits, 1/2 channels,
// 8000..48000 samples a second, consistent block size and byte rate).
// Reads only the 16 bytes of a PCMWAVEFORMAT: callers may pass one.
bool wave_format_supported(const WAVEFORMATEX& format);

// The audio thread's body; `param` is a WaveOut with a reference for it.
DWORD wave_player_main(LPVOID param);
// Whether the calling thread is the audio thread of `dev`: it cannot wait
// for itself.
bool wave_on_player(const WaveOut* dev);

// Tells the client about `message` the way it asked at open.
void wave_notify(WaveOut* dev, UINT message, DWORD_PTR param1);
// Marks each retired header done and delivers its WOM_DONE, in order;
// `hold` holds dev->lock and is released around each callback.
void wave_deliver_retired(WaveOut* dev, std::unique_lock<std::mutex>& hold);

// Scales the samples of `data` (whole blocks of `format`) by `volume`.
void wave_apply_volume(const WAVEFORMATEX& format, DWORD volume, uint8_t* data, DWORD size);

// Whether a guest header can be used: readable, with writable flags.
// Call with the device's lock held (the probe rewrites the flags).
bool wave_header_usable(WAVEHDR* header, UINT size);
