// The capture file (device setting DEVICE_AUDIO_CAPTURE): a PCM WAV file
// that receives what the devices play, after volume. One device holds it
// at a time; the next device to open appends to it when its format and
// the file's name are the same and the file is as this process left it,
// and starts it anew otherwise. Its sizes are rewritten after every piece
// of data, so a file cut short by a killed process still reads.
#pragma once

#include "wce/audio.h"

enum CaptureClaim {
  CAPTURE_OFF,     // no capture asked for, or another open device holds the file
  CAPTURE_ON,      // the caller holds the file
  CAPTURE_FAILED,  // asked for, but the file cannot be written
};

CaptureClaim capture_claim(const WAVEFORMATEX& format, const void* owner);
// Appends played data; does nothing unless `owner` holds the file. A write
// that fails ends the capture (with a line on standard error).
void capture_write(const void* owner, const void* data, DWORD size);
void capture_release(const void* owner);
