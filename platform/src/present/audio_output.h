// The host's sound output behind the waveform-audio devices. Each open
// device has a stream; the output mixes the streams. The device's audio
// thread keeps the real-time pace and writes each slice as it starts to
// play, so the output only needs to buffer a little.
#pragma once

#include <cstdint>

#include "wce/audio.h"

struct AudioStream;

struct AudioOutput {
  const char* name;
  // A stream of this PCM format; null when the output cannot take it.
  AudioStream* (*open)(const WAVEFORMATEX& format);
  void (*write)(AudioStream* stream, const uint8_t* data, uint32_t size);
  // Drops what was written and is not yet heard (a reset).
  void (*flush)(AudioStream* stream);
  void (*close)(AudioStream* stream);
};

// The output of this process, chosen at first use by DEVICE_AUDIO ("sdl"
// or "null"; by default SDL when an audio device opens, else null).
const AudioOutput* device_audio_output(void);
// The outputs: the null one plays nothing; the SDL one is null when no
// host audio device opens.
const AudioOutput* null_audio_output(void);
const AudioOutput* sdl_audio_output(void);
