// Sound through SDL2 audio: one host device (44,100 Hz, 16-bit stereo)
// whose callback mixes the streams of the open waveform devices, each
// converted from its own format by an SDL audio stream.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "audio_output.h"
#include "sdl_init.h"

struct AudioStream {
  SDL_AudioStream* convert;
  bool primed;  // enough is buffered to start (again) without a gap
};

namespace {

constexpr int kRate = 44100, kChannels = 2;
// A stream is heard once this much is buffered: the audio thread writes
// each 20 ms slice as it starts, so 40 ms covers a late wake-up.
constexpr int kPrimeBytes = kRate * kChannels * 2 * 40 / 1000;

SDL_AudioDeviceID g_device;
// Never destroyed: the callback may still run while the process exits.
std::vector<AudioStream*>& g_streams = *new std::vector<AudioStream*>;  // guarded by SDL_LockAudioDevice
std::vector<uint8_t>& g_mix_buffer = *new std::vector<uint8_t>;         // the callback's

void mix(void*, Uint8* out, int len) {
  SDL_memset(out, 0, size_t(len));
  if (g_mix_buffer.size() < size_t(len)) return;
  for (AudioStream* s : g_streams) {
    int available = SDL_AudioStreamAvailable(s->convert);
    if (!s->primed && available < kPrimeBytes) continue;
    s->primed = true;
    int got = SDL_AudioStreamGet(s->convert, g_mix_buffer.data(), len);
    if (got > 0) SDL_MixAudioFormat(out, g_mix_buffer.data(), AUDIO_S16SYS, Uint32(got), SDL_MIX_MAXVOLUME);
    if (got < len) s->primed = false;  // ran dry: gather again before going on
  }
}

AudioStream* sdl_open(const WAVEFORMATEX& f) {
  SDL_AudioStream* convert = SDL_NewAudioStream(f.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB, Uint8(f.nChannels),
                                                int(f.nSamplesPerSec), AUDIO_S16SYS, kChannels, kRate);
  if (!convert) return nullptr;
  AudioStream* s = new AudioStream{convert, false};
  SDL_LockAudioDevice(g_device);
  g_streams.push_back(s);
  SDL_UnlockAudioDevice(g_device);
  return s;
}

void sdl_write(AudioStream* s, const uint8_t* data, uint32_t size) {
  if (!s) return;
  SDL_LockAudioDevice(g_device);
  SDL_AudioStreamPut(s->convert, data, int(size));
  SDL_UnlockAudioDevice(g_device);
}

void sdl_flush(AudioStream* s) {
  if (!s) return;
  SDL_LockAudioDevice(g_device);
  SDL_AudioStreamClear(s->convert);
  s->primed = false;
  SDL_UnlockAudioDevice(g_device);
}

void sdl_close(AudioStream* s) {
  if (!s) return;
  SDL_LockAudioDevice(g_device);
  g_streams.erase(std::remove(g_streams.begin(), g_streams.end(), s), g_streams.end());
  SDL_UnlockAudioDevice(g_device);
  SDL_FreeAudioStream(s->convert);
  delete s;
}

const AudioOutput kSdl = {"sdl", sdl_open, sdl_write, sdl_flush, sdl_close};

}  // namespace

const AudioOutput* sdl_audio_output(void) {
  static const AudioOutput* output = [] () -> const AudioOutput* {
    if (!sdl_start_subsystem(SDL_INIT_AUDIO, "no sound output")) return nullptr;
    SDL_AudioSpec want{}, have{};
    want.freq = kRate;
    want.format = AUDIO_S16SYS;
    want.channels = kChannels;
    want.samples = 1024;
    want.callback = mix;
    g_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!g_device) {
      fprintf(stderr, "device: no sound output: %s\n", SDL_GetError());
      return nullptr;
    }
    g_mix_buffer.resize(size_t(have.size));
    SDL_PauseAudioDevice(g_device, 0);
    return &kSdl;
  }();
  return output;
}
