// The capture file: a 44-byte RIFF/WAVE header and the data, written with
// positioned writes so that the header can be kept right as data grows.
#include "capture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

struct WavHeader {
  char riff[4];
  uint32_t riff_size;  // 36 + data_size
  char wave[4];
  char fmt[4];
  uint32_t fmt_size;  // 16
  uint16_t tag;
  uint16_t channels;
  uint32_t rate;
  uint32_t byte_rate;
  uint16_t block_align;
  uint16_t bits;
  char data[4];
  uint32_t data_size;
};
static_assert(sizeof(WavHeader) == 44 && offsetof(WavHeader, data_size) == 40, "canonical WAV header");
constexpr uint32_t kDataStart = sizeof(WavHeader);
// The sizes are 32-bit: data beyond this would wrap them.
constexpr uint32_t kDataLimit = 0xFFFFFFFFu - kDataStart;

std::mutex g_lock;
int g_fd = -1;
const void* g_owner;
// What the file holds, kept after release so that the next device can
// append. Never destroyed: an audio thread may still write while the
// process ends.
std::string& g_path = *new std::string;
WAVEFORMATEX g_format;
uint32_t g_data_size;
bool g_known;  // g_path/g_format/g_data_size describe a file this process wrote

bool same_format(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
  return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
         a.nAvgBytesPerSec == b.nAvgBytesPerSec && a.nBlockAlign == b.nBlockAlign &&
         a.wBitsPerSample == b.wBitsPerSample;
}

bool write_at(int fd, const void* data, size_t size, off_t at) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = pwrite(fd, p, size, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n, size -= n, at += n;
  }
  return true;
}

bool write_sizes(int fd, uint32_t data_size) {
  uint32_t riff_size = 36 + data_size;
  return write_at(fd, &riff_size, 4, offsetof(WavHeader, riff_size)) &&
         write_at(fd, &data_size, 4, offsetof(WavHeader, data_size));
}

bool write_header(int fd, const WAVEFORMATEX& f) {
  WavHeader h;
  memcpy(h.riff, "RIFF", 4);
  h.riff_size = 36;
  memcpy(h.wave, "WAVE", 4);
  memcpy(h.fmt, "fmt ", 4);
  h.fmt_size = 16;
  h.tag = f.wFormatTag;
  h.channels = f.nChannels;
  h.rate = f.nSamplesPerSec;
  h.byte_rate = f.nAvgBytesPerSec;
  h.block_align = f.nBlockAlign;
  h.bits = f.wBitsPerSample;
  memcpy(h.data, "data", 4);
  h.data_size = 0;
  return write_at(fd, &h, sizeof h, 0);
}

// Reopens the file this process left, when it is still exactly that.
int reopen_for_append(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_size != off_t(kDataStart) + off_t(g_data_size)) {
    close(fd);
    return -1;
  }
  return fd;
}

void stop_locked(const char* why) {
  fprintf(stderr, "audio capture to %s stopped: %s\n", g_path.c_str(), why);
  close(g_fd);
  g_fd = -1;
  g_known = false;  // whatever the file holds now, the next device starts anew
}

}  // namespace

CaptureClaim capture_claim(const WAVEFORMATEX& format, const void* owner) {
  const char* setting = getenv("DEVICE_AUDIO_CAPTURE");
  if (!setting || !*setting) return CAPTURE_OFF;
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_owner) return CAPTURE_OFF;
  std::string path = setting;
  int fd = -1;
  if (g_known && path == g_path && same_format(format, g_format)) fd = reopen_for_append(path);
  if (fd < 0) {
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || !write_header(fd, format)) {
      if (fd >= 0) close(fd);
      g_known = false;
      return CAPTURE_FAILED;
    }
    g_path = path;
    g_format = format;
    g_data_size = 0;
    g_known = true;
  }
  g_fd = fd;
  g_owner = owner;
  return CAPTURE_ON;
}

void capture_write(const void* owner, const void* data, DWORD size) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (owner != g_owner || g_fd < 0 || size == 0) return;
  if (size > kDataLimit - g_data_size) return stop_locked("the file is full");
  if (!write_at(g_fd, data, size, off_t(kDataStart) + off_t(g_data_size)) || !write_sizes(g_fd, g_data_size + size)) {
    // Leave the file as it was before this piece: nothing half-stored.
    int error = errno;
    write_sizes(g_fd, g_data_size);
    if (ftruncate(g_fd, off_t(kDataStart) + off_t(g_data_size)) != 0) {
      // The sizes still say how much is whole.
    }
    return stop_locked(strerror(error));
  }
  g_data_size += size;
}

void capture_release(const void* owner) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (owner != g_owner) return;
  if (g_fd >= 0) close(g_fd);
  g_fd = -1;
  g_owner = nullptr;
}
