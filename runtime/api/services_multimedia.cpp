// Waveform output for the guest: the device's waveOut functions, with a
// guest callback function bridged (the wave bridge) and the capability
// record in its ANSI form. The MIDI, mixer, auxiliary, timer and MCI
// functions are stubs of the shared table.
#include <cstdlib>
#include <cstring>

#include "handler.h"
#include "wce/locale.h"

using services::pass_through;

namespace {

// The guest's WAVEOUTCAPSA.
struct WaveOutCapsA {
  WORD wMid;
  WORD wPid;
  DWORD vDriverVersion;
  char szPname[32];
  DWORD dwFormats;
  WORD wChannels;
  WORD wReserved1;
  DWORD dwSupport;
};
static_assert(sizeof(WaveOutCapsA) == 52 && offsetof(WaveOutCapsA, dwFormats) == 40 &&
                  offsetof(WaveOutCapsA, wChannels) == 44 && offsetof(WaveOutCapsA, dwSupport) == 48,
              "WAVEOUTCAPSA layout");

// waveOutOpen(phwo, uDeviceID, pwfx, dwCallback, dwInstance, fdwOpen): a
// callback function alone (no other flag) is run through the wave bridge,
// with the guest's callback and instance kept in a record of the device's
// own; every other open goes to the device unchanged.
void wave_out_open(Env* env) {
  HWAVEOUT* device = arg_as<HWAVEOUT*>(env, 1);
  const UINT id = arg(env, 2);
  const WAVEFORMATEX* format = arg_as<const WAVEFORMATEX*>(env, 3);
  const u32 callback = arg(env, 4), instance = arg(env, 5), flags = arg(env, 6);
  MMRESULT result;
  if (flags == CALLBACK_FUNCTION) {
    WaveCallback* record = static_cast<WaveCallback*>(malloc(sizeof(WaveCallback)));
    if (!record) {
      guest_return_value(env, MMSYSERR_NOMEM, 6);
      return;
    }
    *record = WaveCallback{callback, instance, nullptr};
    result = waveOutOpen(device, id, format, reinterpret_cast<DWORD_PTR>(&WaveBridge),
                         reinterpret_cast<DWORD_PTR>(record), CALLBACK_FUNCTION);
    // The record lives as long as its device; a device that was never
    // opened will not call back.
    if (result != MMSYSERR_NOERROR) free(record);
  } else {
    result = waveOutOpen(device, id, format, callback, instance, flags);
  }
  guest_return_value(env, result, 6);
}

// waveOutGetDevCapsA(uDeviceID, pwoc, cbwoc): the device's wide record in
// the ANSI form, one channel whatever the device reports. Only cbwoc bytes
// of the guest's record are written.
void wave_out_get_dev_caps(Env* env) {
  const UINT id = arg(env, 1);
  WaveOutCapsA* out = arg_as<WaveOutCapsA*>(env, 2);
  const u32 size = arg(env, 3);
  WAVEOUTCAPSW wide;
  memset(&wide, 0, sizeof wide);
  const MMRESULT result = waveOutGetDevCaps(id, &wide, sizeof wide);
  WaveOutCapsA caps;
  memset(&caps, 0, sizeof caps);
  caps.wMid = wide.wMid;
  caps.wPid = wide.wPid;
  caps.vDriverVersion = wide.vDriverVersion;
  WCHAR name[33];
  memcpy(name, wide.szPname, sizeof wide.szPname);
  name[32] = 0;
  ce_wcstombs(caps.szPname, name, sizeof caps.szPname);
  caps.dwFormats = wide.dwFormats;
  caps.wChannels = 1;
  caps.wReserved1 = wide.wReserved1;
  caps.dwSupport = wide.dwSupport;
  if (out) memcpy(out, &caps, size < sizeof caps ? size : sizeof caps);
  guest_return_value(env, result, 3);
}

}  // namespace

extern const ApiEntry kMultimediaApis[] = {
    {"waveOutOpen", wave_out_open},
    {"waveOutGetDevCapsA", wave_out_get_dev_caps},
    {"waveOutClose", pass_through<waveOutClose>},
    {"waveOutReset", pass_through<waveOutReset>},
    {"waveOutGetID", pass_through<waveOutGetID>},
    {"waveOutSetVolume", pass_through<waveOutSetVolume>},
    {"waveOutPrepareHeader", pass_through<waveOutPrepareHeader>},
    {"waveOutUnprepareHeader", pass_through<waveOutUnprepareHeader>},
    {"waveOutWrite", pass_through<waveOutWrite>},
    {"waveOutGetNumDevs", pass_through<waveOutGetNumDevs>},
    {nullptr, nullptr},
};
