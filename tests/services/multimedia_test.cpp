// Waveform output as the guest uses it: a device opened with a guest
// callback function plays through the wave bridge, which runs the "guest
// code" (a test module whose Dispatch runs C routines) with the guest's own
// instance value; the ANSI capability record.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "guest_call.h"
#include "wce/audio.h"
#include "wce/kernel.h"
#include "wce/synch.h"

namespace {

constexpr u32 kCallback = 0x100;

// What the guest callback saw, in order.
struct Seen {
  u32 device, message, instance, param1, param2, return_address, eflags;
};
std::mutex g_lock;
std::condition_variable g_changed;
std::vector<Seen> g_seen;

int wave_dispatch(Env* env, ModuleInfo* mi) {
  EXPECT_EQ(env->EIP - mi->Base, kCallback);
  Seen seen = {guest_read32(env->ESP + 4), guest_read32(env->ESP + 8), guest_read32(env->ESP + 12),
               guest_read32(env->ESP + 16), guest_read32(env->ESP + 20), guest_read32(env->ESP), env->EFLAGS};
  {
    std::lock_guard<std::mutex> hold(g_lock);
    g_seen.push_back(seen);
  }
  g_changed.notify_all();
  // ret 20: the sentinel and the five arguments.
  env->EIP = guest_read32(env->ESP);
  env->ESP += 24;
  return 0;
}

u32 callback_address() {
  static const u32 base = register_test_module("KWAVE", wave_dispatch, 0x7100);
  return base + kCallback;
}

u32 w(const void* p) { return guest_addr(p); }

size_t wait_for(size_t count) {
  std::unique_lock<std::mutex> hold(g_lock);
  g_changed.wait_for(hold, std::chrono::seconds(10), [count] { return g_seen.size() >= count; });
  return g_seen.size();
}

WAVEFORMATEX pcm16_mono() { return WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0}; }

}  // namespace

TEST(Multimedia, AGuestCallbackHearsItsDeviceWithItsOwnInstance) {
  g_seen.clear();
  WAVEFORMATEX format = pcm16_mono();
  u32 device = 0;
  GuestCall open("waveOutOpen", {w(&device), WAVE_MAPPER, w(&format), callback_address(), 0x1234, CALLBACK_FUNCTION});
  ASSERT_EQ(open.eax(), 0u);
  EXPECT_EQ(open.popped_words(), 7u);
  ASSERT_NE(device, 0u);
  ASSERT_EQ(wait_for(1), 1u);
  EXPECT_EQ(g_seen[0].message, static_cast<u32>(WOM_OPEN));
  static int16_t samples[2][441];
  WAVEHDR headers[2];
  for (int i = 0; i < 2; i++) {
    memset(&headers[i], 0, sizeof headers[i]);
    headers[i].lpData = reinterpret_cast<LPSTR>(samples[i]);
    headers[i].dwBufferLength = sizeof samples[i];
    ASSERT_EQ(GuestCall("waveOutPrepareHeader", {device, w(&headers[i]), sizeof headers[i]}).eax(), 0u);
    ASSERT_EQ(GuestCall("waveOutWrite", {device, w(&headers[i]), sizeof headers[i]}).eax(), 0u);
  }
  ASSERT_EQ(wait_for(3), 3u);
  for (int i = 1; i < 3; i++) {
    EXPECT_EQ(g_seen[i].message, static_cast<u32>(WOM_DONE));
    EXPECT_EQ(g_seen[i].param1, w(&headers[i - 1]));  // in the order written
    EXPECT_TRUE(headers[i - 1].dwFlags & WHDR_DONE);
  }
  for (WAVEHDR& h : headers) EXPECT_EQ(GuestCall("waveOutUnprepareHeader", {device, w(&h), sizeof h}).eax(), 0u);
  EXPECT_EQ(GuestCall("waveOutClose", {device}).eax(), 0u);
  ASSERT_EQ(wait_for(4), 4u);
  EXPECT_EQ(g_seen[3].message, static_cast<u32>(WOM_CLOSE));
  // Every call: the guest's own instance value, the device as the guest
  // knows it, a stdcall frame ending in the return sentinel, EFLAGS 0.
  for (const Seen& s : g_seen) {
    EXPECT_EQ(s.instance, 0x1234u);
    EXPECT_EQ(s.device, device);
    EXPECT_EQ(s.return_address, RETURN_SENTINEL);
    EXPECT_EQ(s.eflags, 0u);
  }
}

TEST(Multimedia, OtherOpensReachTheDeviceUnchanged) {
  g_seen.clear();
  WAVEFORMATEX format = pcm16_mono();
  // A format query with a callback: nothing opens, nothing calls back.
  u32 device = 0xABCD;
  EXPECT_EQ(GuestCall("waveOutOpen", {w(&device), 0, w(&format), callback_address(), 7,
                                      CALLBACK_FUNCTION | WAVE_FORMAT_QUERY})
                .eax(),
            0u);
  format.wBitsPerSample = 12;
  format.nBlockAlign = 3;
  EXPECT_EQ(GuestCall("waveOutOpen", {w(&device), 0, w(&format), 0, 0, WAVE_FORMAT_QUERY}).eax(),
            static_cast<u32>(WAVERR_BADFORMAT));
  // An event callback is the guest's own handle.
  format = pcm16_mono();
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ASSERT_EQ(GuestCall("waveOutOpen", {w(&device), 0, w(&format), w(event), 0, CALLBACK_EVENT}).eax(), 0u);
  EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);  // WOM_OPEN
  EXPECT_EQ(GuestCall("waveOutClose", {device}).eax(), 0u);
  CloseHandle(event);
  EXPECT_TRUE(g_seen.empty());
  EXPECT_EQ(GuestCall("waveOutGetNumDevs", {}).eax(), 1u);
}

TEST(Multimedia, TheCapabilityRecordInItsAnsiForm) {
  uint8_t record[60];
  memset(record, 0xEE, sizeof record);
  GuestCall caps("waveOutGetDevCapsA", {0, w(record), 52});
  EXPECT_EQ(caps.eax(), 0u);
  EXPECT_EQ(caps.popped_words(), 4u);
  WORD channels;
  memcpy(&channels, record + 44, 2);
  EXPECT_EQ(channels, 1u);  // one channel, whatever the device has
  EXPECT_NE(record[8], 0);  // a name
  EXPECT_EQ(record[52], 0xEE);
  // A shorter record is written only as far as it goes.
  memset(record, 0xEE, sizeof record);
  GuestCall(("waveOutGetDevCapsA"), {0, w(record), 8});
  EXPECT_EQ(record[8], 0xEE);
}
