// The audio thread: plays the front header in slices of about 20 ms,
// handing each to the host's output as it starts and sleeping until it
// would have finished on real hardware. The
// sleep ends early only for a reset; the clock restarts whenever the queue
// runs dry, so an underrun is not made up for later.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "capture.h"
#include "wave_out.h"
#include "wce/seh.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kSliceMs = 20;
// Further behind than this (the process was stopped, say), the clock
// restarts instead of rushing to catch up.
constexpr auto kMaxLag = std::chrono::milliseconds(200);

thread_local const WaveOut* t_player;

// Bytes of the format to time, without overflow on long runs.
Clock::duration duration_of(uint64_t bytes, DWORD rate) {
  using std::chrono::nanoseconds;
  return std::chrono::duration_cast<Clock::duration>(nanoseconds(bytes / rate * 1000000000ull) +
                                                     nanoseconds(bytes % rate * 1000000000ull / rate));
}

// Whole blocks played in `elapsed`, up to `limit`.
DWORD bytes_played(Clock::duration elapsed, const WAVEFORMATEX& f, DWORD limit) {
  int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
  if (ns <= 0) return 0;
  uint64_t bytes = uint64_t(ns) * f.nAvgBytesPerSec / 1000000000ull;
  bytes -= bytes % f.nBlockAlign;
  return DWORD(std::min<uint64_t>(bytes, limit));
}

// The guest's buffer may have gone away under a buggy caller: what cannot
// be read plays as silence.
void copy_samples(uint8_t* to, const char* from, DWORD size, uint8_t silence) {
  SehGuard guard;
  if (SEH_TRY(guard)) {
    memcpy(to, from, size);
    seh_pop(&guard);
  } else {
    memset(to, silence, size);
  }
}

}  // namespace

bool wave_on_player(const WaveOut* dev) { return t_player == dev; }

DWORD wave_player_main(LPVOID param) {
  WaveOut* dev = static_cast<WaveOut*>(param);
  t_player = dev;
  const WAVEFORMATEX f = dev->format;
  const DWORD align = f.nBlockAlign;
  const DWORD slice_max = std::max<DWORD>(align, f.nAvgBytesPerSec * kSliceMs / 1000 / align * align);
  const AudioOutput* output = device_audio_output();
  const bool need_samples = dev->capturing || dev->stream;
  std::vector<uint8_t> slice(need_samples ? slice_max : 0);
  const uint8_t silence = f.wBitsPerSample == 8 ? 0x80 : 0;
  bool clock_running = false;
  Clock::time_point clock_start;
  uint64_t clock_bytes = 0;  // played since clock_start

  std::unique_lock<std::mutex> hold(dev->lock);
  for (;;) {
    if (!dev->retired.empty()) {
      wave_deliver_retired(dev, hold);
      continue;
    }
    if (dev->queue.empty()) {
      if (dev->closing) break;
      clock_running = false;
      dev->wake.wait(hold);
      continue;
    }
    WAVEHDR* h = dev->queue.front();
    // A trailing part block cannot be played.
    const DWORD length = h->dwBufferLength - h->dwBufferLength % align;
    if (dev->offset >= length) {
      dev->queue.pop_front();
      dev->offset = 0;
      dev->retired.push_back(h);
      dev->retired_count++;
      continue;
    }

    const DWORD size = std::min(length - dev->offset, slice_max);
    if (need_samples) {
      copy_samples(slice.data(), h->lpData + dev->offset, size, silence);
      wave_apply_volume(f, dev->volume.load(), slice.data(), size);
    }
    const Clock::time_point now = Clock::now();
    if (!clock_running || now - (clock_start + duration_of(clock_bytes, f.nAvgBytesPerSec)) > kMaxLag) {
      clock_start = now;
      clock_bytes = 0;
      clock_running = true;
    }
    const Clock::time_point slice_start = clock_start + duration_of(clock_bytes, f.nAvgBytesPerSec);
    clock_bytes += size;
    const uint32_t generation = dev->generation;
    // A reset while the lock is out shows in the generation below.
    if (dev->stream) {
      hold.unlock();
      output->write(dev->stream, slice.data(), size);
      hold.lock();
    }
    dev->wake.wait_until(hold, clock_start + duration_of(clock_bytes, f.nAvgBytesPerSec),
                         [&] { return dev->generation != generation; });
    DWORD played = size;
    if (dev->generation == generation) {
      dev->offset += size;
    } else {
      // Reset: the slice got only as far as now.
      played = bytes_played(Clock::now() - slice_start, f, size);
      clock_running = false;
      if (dev->stream) output->flush(dev->stream);
    }
    if (dev->capturing && played) {
      hold.unlock();
      capture_write(dev, slice.data(), played);
      hold.lock();
    }
  }
  hold.unlock();
  output->close(dev->stream);
  dev->stream = nullptr;
  if (dev->capturing) capture_release(dev);
  handle_release(&dev->header);
  return 0;
}
