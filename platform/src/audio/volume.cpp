// Volume: low word left, high word right, 0..0xFFFF each; a mono stream
// takes the low word.
#include <cstring>

#include "wave_out.h"

extern "C" MMRESULT waveOutSetVolume(HWAVEOUT handle, DWORD volume) {
  WaveOut* dev = wave_get(handle);
  if (!dev) return MMSYSERR_INVALHANDLE;
  dev->volume = volume;
  handle_release(&dev->header);
  return MMSYSERR_NOERROR;
}

void wave_apply_volume(const WAVEFORMATEX& format, DWORD volume, uint8_t* data, DWORD size) {
  const int32_t left = volume & 0xFFFF;
  const int32_t gain[2] = {left, format.nChannels == 1 ? left : int32_t(volume >> 16)};
  if (gain[0] == 0xFFFF && gain[1] == 0xFFFF) return;
  const DWORD channels = format.nChannels;
  if (format.wBitsPerSample == 16) {
    for (DWORD i = 0; i + 1 < size; i += 2) {
      int16_t s;
      memcpy(&s, data + i, 2);
      s = static_cast<int16_t>(s * gain[(i / 2) % channels] / 0xFFFF);
      memcpy(data + i, &s, 2);
    }
  } else {
    // 8-bit samples are unsigned around 128.
    for (DWORD i = 0; i < size; i++) data[i] = static_cast<uint8_t>((data[i] - 128) * gain[i % channels] / 0xFFFF + 128);
  }
}
