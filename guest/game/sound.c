/* Sound: one waveform device at 22,050 Hz, 16-bit mono, fed by a mixer
   thread. The device's callback only signals the thread; the thread mixes
   the effects that are playing and the looping tune into each buffer the
   device has finished with and queues it again. */
#include <string.h>

#include "game.h"

#define RATE 22050
#define BUFFERS 4
#define SAMPLES 735 /* 1/30 s */
#define VOICES 8

typedef struct {
  int effect;
  int age; /* samples played */
} Voice;

static HWAVEOUT device;
static WAVEHDR headers[BUFFERS];
static short pcm[BUFFERS][SAMPLES];
static HANDLE refill, thread;
static CRITICAL_SECTION lock;
static Voice voices[VOICES];
static volatile int finished; /* buffers the device has handed back */
static volatile int stopping, music_on;
static int next_buffer, tune_pos;
static const int kLength[SFX_COUNT] = {RATE / 25, RATE / 12, RATE / 18, RATE * 2 / 5, RATE / 2};

static void WINAPI on_device(HWAVEOUT dev, unsigned message, unsigned long instance, unsigned long p1,
                             unsigned long p2) {
  if (message == WOM_DONE) {
    finished++;
    SetEvent(refill);
  }
}

/* One sample of an effect, amplitude within +-6000. */
static int effect_sample(int effect, int age) {
  int length = kLength[effect], left = length - age, period;
  switch (effect) {
    case SFX_BOUNCE: period = RATE / 880; break;
    case SFX_BRICK: period = RATE / (1320 + age / 40); break;
    case SFX_STEEL: period = RATE / 2000; break;
    case SFX_LOSE: period = RATE / (600 - age * 400 / length); break;
    default: period = RATE / (523 + 262 * (age * 4 / length)); break; /* a rising arpeggio */
  }
  int square = (age % period) < period / 2 ? 1 : -1;
  return square * 6000 * left / length;
}

/* The tune: a short loop of square-wave notes (frequencies in Hz, 0 rest). */
static int tune_sample(void) {
  static const short notes[] = {330, 392, 440, 392, 330, 0, 262, 294, 330, 330, 294, 262, 294, 0, 247, 0};
  const int note_len = RATE / 6;
  int note = notes[(tune_pos / note_len) % (sizeof notes / sizeof notes[0])];
  int in_note = tune_pos % note_len;
  tune_pos++;
  if (!note || in_note > note_len * 3 / 4) return 0;
  int period = RATE / note;
  return (in_note % period) < period / 2 ? 1500 : -1500;
}

static void mix(short* out) {
  EnterCriticalSection(&lock);
  for (int i = 0; i < SAMPLES; i++) {
    int sum = music_on ? tune_sample() : 0;
    for (int v = 0; v < VOICES; v++) {
      if (voices[v].effect < 0) continue;
      sum += effect_sample(voices[v].effect, voices[v].age);
      if (++voices[v].age >= kLength[voices[v].effect]) voices[v].effect = -1;
    }
    out[i] = (short)(sum > 32767 ? 32767 : sum < -32768 ? -32768 : sum);
  }
  LeaveCriticalSection(&lock);
}

static DWORD WINAPI mixer(void* unused) {
  int queued = 0;
  while (!stopping) {
    WaitForSingleObject(refill, 200);
    while (!stopping && queued < finished) {
      WAVEHDR* h = &headers[next_buffer];
      mix(pcm[next_buffer]);
      h->flags &= ~1u; /* WHDR_DONE */
      waveOutWrite(device, h, sizeof *h);
      next_buffer = (next_buffer + 1) % BUFFERS;
      queued++;
    }
  }
  return 0;
}

int sound_open(void) {
  WAVEFORMATEX format = {1, 1, RATE, RATE * 2, 2, 16, 0};
  for (int v = 0; v < VOICES; v++) voices[v].effect = -1;
  InitializeCriticalSection(&lock);
  refill = CreateEventA(0, 0, 0, 0);
  if (!refill || waveOutOpen(&device, 0xFFFFFFFFu, &format, (unsigned long)on_device, 0, CALLBACK_FUNCTION) != 0) {
    game_log("no sound: the waveform device did not open\n");
    device = 0;
    return 0;
  }
  for (int b = 0; b < BUFFERS; b++) {
    headers[b].data = (char*)pcm[b];
    headers[b].length = sizeof pcm[b];
    waveOutPrepareHeader(device, &headers[b], sizeof headers[b]);
    mix(pcm[b]);
    waveOutWrite(device, &headers[b], sizeof headers[b]);
  }
  thread = CreateThread(0, 0, mixer, 0, 0, 0);
  return 1;
}

void sound_play(int effect) {
  if (!device) return;
  EnterCriticalSection(&lock);
  int slot = 0;
  for (int v = 0; v < VOICES; v++) {
    if (voices[v].effect < 0) {
      slot = v;
      break;
    }
    if (voices[v].age > voices[slot].age) slot = v; /* else the oldest makes room */
  }
  voices[slot].effect = effect;
  voices[slot].age = 0;
  LeaveCriticalSection(&lock);
}

void sound_music(int on) { music_on = on; }

void sound_close(void) {
  if (!device) return;
  stopping = 1;
  SetEvent(refill);
  WaitForSingleObject(thread, 1000);
  waveOutReset(device);
  for (int b = 0; b < BUFFERS; b++) waveOutUnprepareHeader(device, &headers[b], sizeof headers[b]);
  waveOutClose(device);
  device = 0;
}
