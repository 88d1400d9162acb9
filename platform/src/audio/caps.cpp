// The one output device: its number, its capabilities and the formats it
// plays.
#include <cstring>

#include "wave_out.h"
#include "wce/heap.h"

namespace {

// dwFormats bits: 11.025, 22.05, 44.1 and 48 kHz, each mono/stereo 8/16-bit.
constexpr DWORD kAllPcmFormats = 0xFFFF;
constexpr DWORD WAVECAPS_VOLUME = 0x0001;
constexpr DWORD WAVECAPS_LRVOLUME = 0x0008;

constexpr char16_t kProductName[] = u"Audio Output";
static_assert(sizeof kProductName <= sizeof(WAVEOUTCAPSW::szPname), "product name fits");

}  // namespace

bool wave_format_supported(const WAVEFORMATEX& f) {
  if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
  if (f.nChannels != 1 && f.nChannels != 2) return false;
  if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
  if (f.nSamplesPerSec < 8000 || f.nSamplesPerSec > 48000) return false;
  return f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 && f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

extern "C" UINT waveOutGetNumDevs(void) { return 1; }

// A record smaller than WAVEOUTCAPSW receives what fits of it, as Win32
// does for callers built against a shorter record.
extern "C" MMRESULT waveOutGetDevCaps(UINT device, WAVEOUTCAPSW* caps, UINT size) {
  if (device != 0 && device != WAVE_MAPPER) {
    // Win32 also takes the handle of an open device for its identifier.
    WaveOut* dev = device >= 0x100000 ? wave_get(reinterpret_cast<HWAVEOUT>(uintptr_t(device))) : nullptr;
    if (!dev) return MMSYSERR_BADDEVICEID;
    handle_release(&dev->header);
  }
  if (size > sizeof(WAVEOUTCAPSW)) size = sizeof(WAVEOUTCAPSW);
  if (!caps || IsBadWritePtr(caps, size)) return MMSYSERR_INVALPARAM;
  WAVEOUTCAPSW c = {};
  c.wMid = 0xFFFF;  // no registered manufacturer
  c.wPid = 0xFFFF;
  c.vDriverVersion = 0x0100;
  memcpy(c.szPname, kProductName, sizeof kProductName);
  c.dwFormats = kAllPcmFormats;
  c.wChannels = 2;
  c.dwSupport = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME;
  memcpy(caps, &c, size);
  return MMSYSERR_NOERROR;
}
