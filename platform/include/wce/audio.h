// Waveform-audio output of the device: one output device playing PCM
// through a null output that consumes the buffers at real-time pace, and
// can write what was played to a WAV file (the device setting
// DEVICE_AUDIO_CAPTURE), so that tests can check it.
#pragma once

#include "wce/types.h"

struct HWAVEOUT__;
typedef HWAVEOUT__* HWAVEOUT;
typedef uintptr_t DWORD_PTR;
typedef UINT MMRESULT;

struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
} __attribute__((packed, aligned(2)));
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX layout");

struct WAVEHDR {
  LPSTR lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD_PTR reserved;
};
static_assert(sizeof(WAVEHDR) == 32 && offsetof(WAVEHDR, dwFlags) == 16, "WAVEHDR layout");

struct WAVEOUTCAPSW {
  WORD wMid;
  WORD wPid;
  DWORD vDriverVersion;
  WCHAR szPname[32];
  DWORD dwFormats;
  WORD wChannels;
  WORD wReserved1;
  DWORD dwSupport;
};
static_assert(sizeof(WAVEOUTCAPSW) == 84 && offsetof(WAVEOUTCAPSW, dwFormats) == 72, "WAVEOUTCAPSW layout");

// The callback of CALLBACK_FUNCTION, called on the device's audio thread.
typedef void (*WAVEOUTPROC)(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

enum : UINT {
  WAVE_MAPPER = 0xFFFFFFFF,
  WAVE_FORMAT_PCM = 1,
  // waveOutOpen flags
  WAVE_FORMAT_QUERY = 0x0001,
  WAVE_ALLOWSYNC = 0x0002,
  CALLBACK_NULL = 0x00000,
  CALLBACK_WINDOW = 0x10000,
  CALLBACK_THREAD = 0x20000,
  CALLBACK_FUNCTION = 0x30000,
  CALLBACK_EVENT = 0x50000,
  CALLBACK_TYPEMASK = 0x70000,
  // Messages to a callback function (and, as MM_WOM_*, to a window or thread)
  WOM_OPEN = 0x3BB,
  WOM_CLOSE = 0x3BC,
  WOM_DONE = 0x3BD,
  // WAVEHDR flags
  WHDR_DONE = 0x01,
  WHDR_PREPARED = 0x02,
  WHDR_BEGINLOOP = 0x04,
  WHDR_ENDLOOP = 0x08,
  WHDR_INQUEUE = 0x10,
  // Results
  MMSYSERR_NOERROR = 0,
  MMSYSERR_ERROR = 1,
  MMSYSERR_BADDEVICEID = 2,
  MMSYSERR_ALLOCATED = 4,
  MMSYSERR_INVALHANDLE = 5,
  MMSYSERR_NODRIVER = 6,
  MMSYSERR_NOMEM = 7,
  MMSYSERR_INVALFLAG = 10,
  MMSYSERR_INVALPARAM = 11,
  WAVERR_BADFORMAT = 32,
  WAVERR_STILLPLAYING = 33,
  WAVERR_UNPREPARED = 34,
};

extern "C" {
UINT waveOutGetNumDevs(void);
MMRESULT waveOutGetDevCaps(UINT device, WAVEOUTCAPSW* caps, UINT size);
MMRESULT waveOutOpen(HWAVEOUT* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags);
MMRESULT waveOutClose(HWAVEOUT device);
MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, UINT size);
MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, UINT size);
MMRESULT waveOutReset(HWAVEOUT device);
MMRESULT waveOutGetID(HWAVEOUT device, UINT* id);
MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume);
}
