// The null sound output, and which output the device uses.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "audio_output.h"

namespace {
AudioStream* null_open(const WAVEFORMATEX&) { return nullptr; }
void null_write(AudioStream*, const uint8_t*, uint32_t) {}
void null_flush(AudioStream*) {}
void null_close(AudioStream*) {}
const AudioOutput kNull = {"null", null_open, null_write, null_flush, null_close};
}  // namespace

const AudioOutput* null_audio_output(void) { return &kNull; }

const AudioOutput* device_audio_output(void) {
  static const AudioOutput* chosen;
  static std::once_flag once;
  std::call_once(once, [] {
    const char* want = getenv("DEVICE_AUDIO");
    bool try_sdl = !want || !*want || !strcmp(want, "sdl");
    if (want && *want && strcmp(want, "sdl") && strcmp(want, "null"))
      fprintf(stderr, "device: unknown DEVICE_AUDIO=%s; using the null output\n", want), try_sdl = false;
    chosen = try_sdl ? sdl_audio_output() : nullptr;
    if (!chosen) chosen = &kNull;
  });
  return chosen;
}
