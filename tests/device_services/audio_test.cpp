// Waveform output: formats, header rules, the callback kinds, real-time
// pacing, reset and close, callbacks that call back in, and the capture
// file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "wce/audio.h"
#include "wce/kernel.h"
#include "wce/synch.h"
#include "wce/window.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

WAVEFORMATEX pcm(DWORD rate, WORD bits, WORD channels) {
  WORD align = WORD(channels * bits / 8);
  return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// A header and its samples; kept in deques so that neither moves.
struct Buffer {
  std::vector<char> data;
  WAVEHDR hdr{};
  explicit Buffer(size_t bytes, char fill = 0) : data(bytes, fill) {
    hdr.lpData = data.data();
    hdr.dwBufferLength = DWORD(bytes);
  }
};

struct Notice {
  UINT message;
  DWORD_PTR param1;
  HWAVEOUT device;
  DWORD thread;
};

// A CALLBACK_FUNCTION target whose instance value is itself. `react` runs
// after the notice is recorded, outside the lock, so it may call into the
// device (and be called again from there).
struct Recorder {
  std::mutex lock;
  std::condition_variable arrived;
  std::vector<Notice> notices;
  std::function<void(UINT, WAVEHDR*)> react;

  static void proc(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    Recorder* self = reinterpret_cast<Recorder*>(instance);
    {
      std::lock_guard<std::mutex> hold(self->lock);
      self->notices.push_back({message, param1, device, GetCurrentThreadId()});
    }
    if (self->react) self->react(message, reinterpret_cast<WAVEHDR*>(param1));
    self->arrived.notify_all();
  }
  MMRESULT open(HWAVEOUT* device, const WAVEFORMATEX& format, DWORD flags = 0) {
    return waveOutOpen(device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&Recorder::proc),
                       reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION | flags);
  }
  bool wait_until(const std::function<bool()>& done) {
    std::unique_lock<std::mutex> hold(lock);
    return arrived.wait_for(hold, std::chrono::seconds(5), done);
  }
  size_t count(UINT message) {
    return size_t(std::count_if(notices.begin(), notices.end(), [&](const Notice& n) { return n.message == message; }));
  }
  bool wait_for(UINT message, size_t n) { return wait_until([&] { return count(message) >= n; }); }
};

MMRESULT write(HWAVEOUT device, Buffer& b) {
  MMRESULT r = waveOutPrepareHeader(device, &b.hdr, sizeof b.hdr);
  return r ? r : waveOutWrite(device, &b.hdr, sizeof b.hdr);
}

// The capture file's data, after checking that its header describes
// `format` and the file's true length.
std::vector<char> wav_data(const std::string& path, const WAVEFORMATEX& f) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> b((std::istreambuf_iterator<char>(in)), {});
  if (b.size() < 44) {
    ADD_FAILURE() << "no WAV header";
    return {};
  }
  uint32_t header[11] = {0x46464952, uint32_t(b.size() - 8), 0x45564157, 0x20746D66, 16,
                         uint32_t(f.nChannels) << 16 | WAVE_FORMAT_PCM, f.nSamplesPerSec, f.nAvgBytesPerSec,
                         uint32_t(f.wBitsPerSample) << 16 | f.nBlockAlign, 0x61746164, uint32_t(b.size() - 44)};
  EXPECT_EQ(memcmp(b.data(), header, 44), 0) << "WAV header";
  return std::vector<char>(b.begin() + 44, b.end());
}

}  // namespace

TEST(Audio, CapabilitiesAndFormats) {
  EXPECT_EQ(waveOutGetNumDevs(), 1u);
  WAVEOUTCAPSW caps;
  EXPECT_EQ(waveOutGetDevCaps(WAVE_MAPPER, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutGetDevCaps(1, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveOutGetDevCaps(0, nullptr, sizeof caps), MMSYSERR_INVALPARAM);
  memset(&caps, 0xAB, sizeof caps);
  ASSERT_EQ(waveOutGetDevCaps(0, &caps, 10), MMSYSERR_NOERROR);  // a short record gets what fits
  EXPECT_NE(caps.szPname[0], 0xABAB);
  EXPECT_EQ(caps.szPname[1], 0xABAB);

  Recorder rec;
  HWAVEOUT untouched = reinterpret_cast<HWAVEOUT>(0x5A5A);
  for (WAVEFORMATEX f : {pcm(8000, 8, 1), pcm(48000, 16, 2), pcm(44100, 8, 2)})
    EXPECT_EQ(rec.open(&untouched, f, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR) << f.nSamplesPerSec;
  std::vector<WAVEFORMATEX> bad = {pcm(22050, 16, 2), pcm(22050, 24, 2), pcm(22050, 16, 3), pcm(7999, 16, 2),
                                   pcm(48001, 16, 2), pcm(22050, 16, 2), pcm(22050, 16, 2)};
  bad[0].wFormatTag = 2;
  bad[5].nBlockAlign = 2;
  bad[6].nAvgBytesPerSec += 4;
  for (size_t i = 0; i < bad.size(); i++) {
    EXPECT_EQ(rec.open(&untouched, bad[i], WAVE_FORMAT_QUERY), WAVERR_BADFORMAT) << i;
    EXPECT_EQ(rec.open(&untouched, bad[i]), WAVERR_BADFORMAT) << i;
  }
  EXPECT_TRUE(rec.notices.empty());
  EXPECT_EQ(untouched, reinterpret_cast<HWAVEOUT>(0x5A5A));

  WAVEFORMATEX good = pcm(22050, 16, 2);
  HWAVEOUT device;
  EXPECT_EQ(waveOutOpen(&device, 1, &good, 0, 0, 0), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveOutOpen(&device, 0, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutOpen(nullptr, 0, &good, 0, 0, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutOpen(&device, 0, &good, 0, 0, 0x40000), MMSYSERR_INVALFLAG);
  EXPECT_EQ(waveOutOpen(&device, 0, &good, 0x1234, 0, CALLBACK_EVENT), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutOpen(&device, 0, &good, 0x1234, 0, CALLBACK_WINDOW), MMSYSERR_INVALPARAM);
}

TEST(Audio, HeaderFlagRules) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  WAVEFORMATEX f = pcm(48000, 16, 2);
  HWAVEOUT device;
  ASSERT_EQ(waveOutOpen(&device, 0, &f, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT), MMSYSERR_NOERROR);
  Buffer b(960);  // 5 ms
  WAVEHDR* h = &b.hdr;
  EXPECT_EQ(waveOutWrite(device, h, sizeof *h), WAVERR_UNPREPARED);
  EXPECT_EQ(waveOutPrepareHeader(device, h, sizeof *h - 1), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutPrepareHeader(device, reinterpret_cast<WAVEHDR*>(0x10), sizeof *h), MMSYSERR_INVALPARAM);
  ASSERT_EQ(waveOutPrepareHeader(device, h, sizeof *h), MMSYSERR_NOERROR);
  EXPECT_EQ(h->dwFlags, DWORD(WHDR_PREPARED));
  h->dwFlags |= WHDR_DONE;  // left from an earlier round
  ASSERT_EQ(waveOutWrite(device, h, sizeof *h), MMSYSERR_NOERROR);
  EXPECT_EQ(h->dwFlags, DWORD(WHDR_PREPARED | WHDR_INQUEUE));
  EXPECT_EQ(waveOutWrite(device, h, sizeof *h), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutUnprepareHeader(device, h, sizeof *h), WAVERR_STILLPLAYING);
  while (!(h->dwFlags & WHDR_DONE)) ASSERT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(h->dwFlags, DWORD(WHDR_PREPARED | WHDR_DONE));
  EXPECT_EQ(waveOutUnprepareHeader(device, h, sizeof *h), MMSYSERR_NOERROR);
  EXPECT_EQ(h->dwFlags, DWORD(WHDR_DONE));

  Buffer nowhere(0);
  nowhere.hdr.lpData = reinterpret_cast<LPSTR>(0x10);
  nowhere.hdr.dwBufferLength = 100;
  EXPECT_EQ(write(device, nowhere), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutGetID(device, nullptr), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  CloseHandle(event);
}

// Notices in order, WOM_DONE on the audio thread, buffers played at
// real-time pace (4 x 50 ms).
TEST(Audio, FunctionCallbackAndPace) {
  Recorder rec;
  HWAVEOUT device;
  ASSERT_EQ(rec.open(&device, pcm(48000, 16, 2)), MMSYSERR_NOERROR);
  ASSERT_EQ(rec.notices.size(), 1u);  // during the open, on the caller's thread
  EXPECT_EQ(rec.notices[0].message, UINT(WOM_OPEN));
  EXPECT_EQ(rec.notices[0].thread, GetCurrentThreadId());
  std::deque<Buffer> buffers;
  const auto start = Clock::now();
  for (int i = 0; i < 4; i++) ASSERT_EQ(write(device, buffers.emplace_back(9600)), MMSYSERR_NOERROR);
  ASSERT_TRUE(rec.wait_for(WOM_DONE, 4));
  EXPECT_GE(Clock::now() - start, milliseconds(150));
  EXPECT_LT(Clock::now() - start, milliseconds(1500));
  ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  ASSERT_EQ(rec.notices.size(), 6u);
  EXPECT_NE(rec.notices[1].thread, GetCurrentThreadId());
  for (int i = 0; i < 4; i++) {
    const Notice& n = rec.notices[1 + i];
    EXPECT_EQ(n.message, UINT(WOM_DONE));
    EXPECT_EQ(n.param1, reinterpret_cast<DWORD_PTR>(&buffers[i].hdr)) << "in order";
    EXPECT_EQ(n.thread, rec.notices[1].thread);
  }
  EXPECT_EQ(rec.notices[5].message, UINT(WOM_CLOSE));
  for (const Notice& n : rec.notices) EXPECT_EQ(n.device, device);
}

TEST(Audio, EventAndThreadCallbacks) {
  WAVEFORMATEX f = pcm(48000, 8, 1);
  Buffer b(240);
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HWAVEOUT device;
  ASSERT_EQ(waveOutOpen(&device, 0, &f, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT), MMSYSERR_NOERROR);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);  // WOM_OPEN
  ASSERT_EQ(write(device, b), MMSYSERR_NOERROR);
  EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(b.hdr.dwFlags & WHDR_DONE);
  ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);  // WOM_CLOSE
  CloseHandle(event);

  ASSERT_EQ(waveOutOpen(&device, 0, &f, GetCurrentThreadId(), 0, CALLBACK_THREAD), MMSYSERR_NOERROR);
  b.hdr.dwFlags = 0;
  ASSERT_EQ(write(device, b), MMSYSERR_NOERROR);
  for (int i = 0; i < 5000 && !(b.hdr.dwFlags & WHDR_DONE); i++) Sleep(1);  // what a polling game does
  ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  MSG msg;
  for (UINT message : {0x3BBu, 0x3BDu, 0x3BCu}) {  // MM_WOM_OPEN, DONE, CLOSE
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0x3BB, 0x3BD, PM_REMOVE));
    EXPECT_EQ(msg.message, message);
    EXPECT_EQ(msg.wParam, reinterpret_cast<WPARAM>(device));
    EXPECT_EQ(msg.lParam, message == 0x3BD ? reinterpret_cast<LPARAM>(&b.hdr) : 0);
  }
}

TEST(Audio, ResetReturnsEverythingAndCloseWaitsForIt) {
  Recorder rec;
  HWAVEOUT device;
  ASSERT_EQ(rec.open(&device, pcm(8000, 8, 1)), MMSYSERR_NOERROR);
  std::deque<Buffer> buffers;
  for (int i = 0; i < 4; i++) ASSERT_EQ(write(device, buffers.emplace_back(4000)), MMSYSERR_NOERROR);  // 0.5 s each
  EXPECT_EQ(waveOutClose(device), WAVERR_STILLPLAYING);
  const auto start = Clock::now();
  ASSERT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
  EXPECT_LT(Clock::now() - start, milliseconds(300));
  ASSERT_EQ(rec.count(WOM_DONE), 4u);  // all in before the reset returns
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(rec.notices[1 + i].param1, reinterpret_cast<DWORD_PTR>(&buffers[i].hdr));
    EXPECT_EQ(buffers[i].hdr.dwFlags, DWORD(WHDR_PREPARED | WHDR_DONE));
  }
  EXPECT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

// As games do: WOM_DONE writes its header again; at the end it unprepares,
// resets and closes, all from inside the callback.
TEST(Audio, CallbackCallsBackIntoTheDevice) {
  Recorder rec;
  HWAVEOUT device;
  std::vector<MMRESULT> results;  // the audio thread's until `finished`
  int dones = 0;
  bool finished = false;
  rec.react = [&](UINT message, WAVEHDR* h) {
    if (message != WOM_DONE) return;
    int n = ++dones;
    if (n < 6) return results.push_back(waveOutWrite(device, h, sizeof *h));
    results.push_back(waveOutUnprepareHeader(device, h, sizeof *h));
    if (n > 6) return;
    results.push_back(waveOutReset(device));  // returns the other header (n == 7) from in here
    results.push_back(waveOutClose(device));
    std::lock_guard<std::mutex> hold(rec.lock);
    finished = true;
  };
  ASSERT_EQ(rec.open(&device, pcm(48000, 16, 2)), MMSYSERR_NOERROR);
  Buffer a(960), b(960);
  ASSERT_EQ(write(device, a), MMSYSERR_NOERROR);
  ASSERT_EQ(write(device, b), MMSYSERR_NOERROR);
  ASSERT_TRUE(rec.wait_until([&] { return finished; }));
  EXPECT_EQ(results, std::vector<MMRESULT>(9, MMSYSERR_NOERROR));
  ASSERT_EQ(rec.notices.size(), 9u);
  for (int i = 0; i < 7; i++) EXPECT_EQ(rec.notices[1 + i].param1, DWORD_PTR(i % 2 ? &b.hdr : &a.hdr)) << i;
  EXPECT_EQ(rec.notices[8].message, UINT(WOM_CLOSE));
  EXPECT_EQ(a.hdr.dwFlags | b.hdr.dwFlags, DWORD(WHDR_DONE));
  EXPECT_EQ(waveOutReset(device), MMSYSERR_INVALHANDLE);
}

TEST(Audio, CaptureHoldsWhatWasPlayedAfterVolume) {
  const char* root = getenv("DEVICE_ROOT");
  const std::string path = std::string(root ? root : "/tmp") + "/capture-" + std::to_string(getpid()) + ".wav";
  setenv("DEVICE_AUDIO_CAPTURE", path.c_str(), 1);
  struct Cleanup {
    const std::string& path;
    ~Cleanup() {  // also when an assertion ends the test early
      unsetenv("DEVICE_AUDIO_CAPTURE");
      unlink(path.c_str());
    }
  } cleanup{path};
  WAVEFORMATEX stereo = pcm(48000, 16, 2);
  std::deque<Buffer> b;  // 10 ms each, distinct ramps
  for (int k = 0; k < 4; k++) {
    b.emplace_back(1920);
    for (int i = 0; i < 960; i++) reinterpret_cast<int16_t*>(b[k].data.data())[i] = int16_t(k * 1000 + i * 31 - 15000);
  }
  Recorder rec;
  HWAVEOUT device;
  ASSERT_EQ(rec.open(&device, stereo), MMSYSERR_NOERROR);
  ASSERT_EQ(write(device, b[0]), MMSYSERR_NOERROR);
  ASSERT_EQ(write(device, b[1]), MMSYSERR_NOERROR);
  ASSERT_TRUE(rec.wait_for(WOM_DONE, 2));
  std::vector<char> expected = b[0].data;
  expected.insert(expected.end(), b[1].data.begin(), b[1].data.end());
  EXPECT_EQ(wav_data(path, stereo), expected) << "complete while the device is open";
  ASSERT_EQ(waveOutSetVolume(device, 0xFFFF8000), MMSYSERR_NOERROR);  // left at half
  ASSERT_EQ(write(device, b[2]), MMSYSERR_NOERROR);
  ASSERT_TRUE(rec.wait_for(WOM_DONE, 3));
  ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  ASSERT_EQ(rec.open(&device, stereo), MMSYSERR_NOERROR);  // same format: appends
  ASSERT_EQ(write(device, b[3]), MMSYSERR_NOERROR);
  ASSERT_TRUE(rec.wait_for(WOM_DONE, 4));
  ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);

  std::vector<char> data = wav_data(path, stereo);
  ASSERT_EQ(data.size(), 4 * 1920u);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), data.begin()));
  EXPECT_TRUE(std::equal(b[3].data.begin(), b[3].data.end(), data.begin() + 3 * 1920));
  const int16_t* played = reinterpret_cast<const int16_t*>(&data[2 * 1920]);
  const int16_t* written = reinterpret_cast<const int16_t*>(b[2].data.data());
  for (int i = 0; i < 960; i += 2) {
    ASSERT_NEAR(played[i], written[i] / 2, 1) << "left " << i;
    ASSERT_EQ(played[i + 1], written[i + 1]) << "right " << i;
  }

  // Another format starts the file anew; mono takes the low word.
  WAVEFORMATEX mono = pcm(48000, 8, 1);
  ASSERT_EQ(rec.open(&device, mono), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutSetVolume(device, 0xFFFF0000), MMSYSERR_NOERROR);
  Buffer loud(480, char(0xF0));
  ASSERT_EQ(write(device, loud), MMSYSERR_NOERROR);
  ASSERT_TRUE(rec.wait_for(WOM_DONE, 5));
  ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  EXPECT_EQ(wav_data(path, mono), std::vector<char>(480, char(0x80)));

  setenv("DEVICE_AUDIO_CAPTURE", "/nonexistent-folder/capture.wav", 1);
  EXPECT_EQ(rec.open(&device, mono), MMSYSERR_ERROR);
}

TEST(Audio, BogusHandlesAreRefused) {
  WAVEFORMATEX f = pcm(8000, 8, 1);
  HWAVEOUT closed;
  ASSERT_EQ(waveOutOpen(&closed, 0, &f, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutClose(closed), MMSYSERR_NOERROR);
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  Buffer b(8);
  UINT id;
  for (HWAVEOUT bogus : {HWAVEOUT(nullptr), HWAVEOUT(0x1234), closed, HWAVEOUT(event), HWAVEOUT(-1)}) {
    SCOPED_TRACE(reinterpret_cast<uintptr_t>(bogus));
    EXPECT_EQ(waveOutPrepareHeader(bogus, &b.hdr, sizeof b.hdr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutUnprepareHeader(bogus, &b.hdr, sizeof b.hdr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutWrite(bogus, &b.hdr, sizeof b.hdr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutReset(bogus), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutGetID(bogus, &id), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutSetVolume(bogus, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutClose(bogus), MMSYSERR_INVALHANDLE);
  }
  EXPECT_EQ(b.hdr.dwFlags, 0u);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // still a working event
  CloseHandle(event);
}
