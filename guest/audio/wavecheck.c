/* Waveform output from a real guest program: three buffers of a known
   16-bit pattern played through a device opened with the program's own
   callback function, which counts WOM_DONE on the device's audio thread.
   Exits with a bit mask of the checks that failed (0 when all passed). */
#include <win32.h>

#define BUFFERS 3
#define SAMPLES 800
static short samples[BUFFERS][SAMPLES];
static WAVEHDR headers[BUFFERS];
static volatile int opened, done, closed, wrong_instance, out_of_order;

static void WINAPI callback(HWAVEOUT device, unsigned message, unsigned long instance, unsigned long p1,
                            unsigned long p2) {
  if (instance != 0xC0FFEE) wrong_instance = 1;
  if (message == 0x3BB) opened++;
  if (message == 0x3BD) {
    if ((WAVEHDR*)p1 != &headers[done]) out_of_order = 1;
    done++;
  }
  if (message == 0x3BC) closed++;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* command_line, int show) {
  unsigned failed = 0;
  for (int b = 0; b < BUFFERS; b++)
    for (int i = 0; i < SAMPLES; i++) samples[b][i] = (short)((b * SAMPLES + i) * 37 - 20000);
  WAVEFORMATEX format = {1, 1, 8000, 16000, 2, 16, 0};
  HWAVEOUT device = 0;
  if (waveOutOpen(&device, 0xFFFFFFFFu, &format, (unsigned long)callback, 0xC0FFEE, 0x30000) != 0) ExitProcess(0x80);
  for (int b = 0; b < BUFFERS; b++) {
    headers[b].data = (char*)samples[b];
    headers[b].length = sizeof samples[b];
    if (waveOutPrepareHeader(device, &headers[b], sizeof headers[b]) != 0 ||
        waveOutWrite(device, &headers[b], sizeof headers[b]) != 0)
      failed |= 1;
  }
  /* 0.3 s of sound: wait up to 10 s for the three buffers. */
  for (int i = 0; i < 1000 && done < BUFFERS; i++) Sleep(10);
  if (done != BUFFERS) failed |= 2;
  for (int b = 0; b < BUFFERS; b++)
    if (!(headers[b].flags & 1) || waveOutUnprepareHeader(device, &headers[b], sizeof headers[b]) != 0) failed |= 4;
  if (waveOutClose(device) != 0) failed |= 8;
  if (opened != 1 || closed != 1) failed |= 16;
  if (wrong_instance || out_of_order) failed |= 32;
  ExitProcess(failed);
  return 1;
}
