/* The playback loop. The sound is read whole before playback starts (the
   device's audio thread then touches no file) and played through waveOut
   in a ring of buffers whose completion the callback counts; the audio
   clock is the sound completed plus the time since the last completion,
   never ahead of the buffer playing. Frames that fall behind that clock
   are decoded (later frames build on them) but not shown; the sound is
   never held back for the picture. A silent movie is paced by its frame
   rate on the tick count. */
#include <stdlib.h>
#include <string.h>

#include "vx_play.h"
#include "vx_win32.h"

#define SOUND_BUFFERS 4

typedef struct Sound {
  HWAVEOUT device;
  uint8_t* data;
  uint32_t bytes, queued, per_buffer, bytes_per_second;
  VxWaveHeader headers[SOUND_BUFFERS];
  volatile uint32_t completed;  /* bytes of the buffers done */
  volatile DWORD completed_at;  /* tick count at the last completion */
  DWORD started_at;
} Sound;

static void WINAPI sound_done(HWAVEOUT device, unsigned message, unsigned long instance, unsigned long p1,
                              unsigned long p2) {
  (void)device, (void)p2;
  if (message != WOM_DONE) return;
  Sound* sound = (Sound*)instance;
  const VxWaveHeader* header = (const VxWaveHeader*)p1;
  sound->completed += header->length;
  sound->completed_at = GetTickCount();
}

static void sound_refill(Sound* sound) {
  for (int i = 0; i < SOUND_BUFFERS; i++) {
    VxWaveHeader* h = &sound->headers[i];
    if (h->data && !(h->flags & WHDR_DONE)) continue; /* still playing */
    if (sound->queued >= sound->bytes) continue;
    if (h->data) waveOutUnprepareHeader(sound->device, h, sizeof *h);
    uint32_t n = sound->bytes - sound->queued;
    if (n > sound->per_buffer) n = sound->per_buffer;
    memset(h, 0, sizeof *h);
    h->data = (char*)sound->data + sound->queued;
    h->length = n;
    sound->queued += n;
    if (waveOutPrepareHeader(sound->device, h, sizeof *h) != 0 || waveOutWrite(sound->device, h, sizeof *h) != 0) {
      /* A buffer the device refused counts as played: the clock and the
         wait for the end go on without it. */
      h->flags |= WHDR_DONE;
      sound->completed += n;
    }
  }
}

static int sound_start(Sound* sound, VxMovie* movie) {
  const VxInfo* info = &movie->info;
  memset(sound, 0, sizeof *sound);
  uint32_t block = info->audio_channels * info->audio_bits / 8;
  sound->bytes = info->audio_bytes / block * block;
  if (!sound->bytes) return VX_OK;
  sound->data = (uint8_t*)malloc(sound->bytes);
  if (!sound->data) return VX_ERR_MEMORY;
  uint32_t got = 0;
  int r = vx_read_audio(movie, 0, sound->data, sound->bytes, &got);
  if (r) return r;
  sound->bytes = got / block * block;
  sound->bytes_per_second = info->audio_rate * block;
  /* A tenth of a second per buffer: four give the picture 0.3 s of slack. */
  sound->per_buffer = (sound->bytes_per_second / 10 + block - 1) / block * block;
  VxWaveFormat format = {1, (uint16_t)info->audio_channels, info->audio_rate, sound->bytes_per_second,
                         (uint16_t)block, (uint16_t)info->audio_bits, 0};
  if (waveOutOpen(&sound->device, WAVE_MAPPER, &format, (unsigned long)sound_done, (unsigned long)sound,
                  CALLBACK_FUNCTION) != 0) {
    sound->device = 0;
    return VX_ERR_DEVICE;
  }
  sound->started_at = sound->completed_at = GetTickCount();
  sound_refill(sound);
  return VX_OK;
}

/* Milliseconds of sound played so far: the movie's clock. */
static uint32_t sound_clock(const Sound* sound) {
  /* The completion time is read before the clock, so "since" never wraps. */
  DWORD last = sound->completed_at;
  uint32_t completed = sound->completed;
  DWORD since = GetTickCount() - last;
  uint64_t ms = (uint64_t)completed * 1000 / sound->bytes_per_second;
  uint32_t playing = sound->bytes - completed < sound->per_buffer ? sound->bytes - completed : sound->per_buffer;
  uint32_t playing_ms = (uint32_t)((uint64_t)playing * 1000 / sound->bytes_per_second);
  /* Once the sound is over (a movie longer than its sound), or when the
     device has stalled for a second, the tick count carries the clock on. */
  if (completed >= sound->bytes || since > playing_ms + 1000) return (uint32_t)ms + since;
  return (uint32_t)ms + (since < playing_ms ? since : playing_ms);
}

static void sound_stop(Sound* sound) {
  if (sound->device) {
    waveOutReset(sound->device);
    for (int i = 0; i < SOUND_BUFFERS; i++)
      if (sound->headers[i].data) waveOutUnprepareHeader(sound->device, &sound->headers[i], sizeof sound->headers[i]);
    waveOutClose(sound->device);
  }
  free(sound->data);
  sound->device = 0;
  sound->data = 0;
}

/* Empties the message queue; 1 when the user asked to skip. */
static int pump_messages(uint32_t flags) {
  VxMessage message;
  while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
    if ((flags & VX_PLAY_SKIPPABLE) &&
        (message.message == WM_KEYDOWN || message.message == WM_CHAR || message.message == WM_LBUTTONDOWN))
      return 1;
    if (message.message == WM_QUIT) { /* left for the game's own loop to see */
      PostQuitMessage((int)message.wparam);
      return 1;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

static uint32_t frame_due_ms(const VxMovie* movie, uint32_t frame) {
  return (uint32_t)((uint64_t)frame * movie->info.scale * 1000 / movie->info.rate);
}

int vx_play(VxMovie* movie, const VxPresenter* presenter, uint32_t flags) {
  Sound sound;
  int result = VX_OK;
  memset(&sound, 0, sizeof sound);
  if (!(flags & VX_PLAY_NO_SOUND) && movie->info.audio_channels) {
    result = sound_start(&sound, movie);
    if (result) {
      sound_stop(&sound);
      return result;
    }
  }
  DWORD start = GetTickCount();
  uint32_t frame = 0;
  int skipped = 0;
  while (frame < movie->info.frames) {
    if (pump_messages(flags)) {
      skipped = 1;
      break;
    }
    uint32_t now = sound.device ? sound_clock(&sound) : GetTickCount() - start;
    if (sound.device) sound_refill(&sound);
    uint32_t due = frame_due_ms(movie, frame);
    if (now < due) {
      Sleep(due - now < 10 ? due - now : 10);
      continue;
    }
    /* Behind the clock: this frame is dropped when the next is due too. */
    int late = frame + 1 < movie->info.frames && frame_due_ms(movie, frame + 1) <= now;
    vx_decode(movie, frame); /* a corrupt frame shows what it decoded */
    if (!late) {
      int r = presenter->show(presenter->context, movie);
      if (r) {
        result = r;
        break;
      }
    }
    frame++;
  }
  /* The sound plays to its end, unless the user skipped or the device
     stopped reporting progress (two seconds without a completed buffer). */
  for (;;) {
    DWORD last = sound.completed_at;
    if (skipped || result != VX_OK || !sound.device || sound.completed >= sound.bytes || GetTickCount() - last >= 2000)
      break;
    if (pump_messages(flags)) {
      skipped = 1;
      break;
    }
    sound_refill(&sound);
    Sleep(10);
  }
  sound_stop(&sound);
  movie->next = frame;
  return result ? result : skipped ? VX_SKIPPED : VX_OK;
}
