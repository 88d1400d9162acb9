// The screen's framebuffer, handing its changes to the presenter, and
// writing it out as a BMP (on demand and, with DEVICE_SCREEN_CAPTURE, after
// every change).
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "file/file_private.h"
#include "gdi.h"
#include "present/presenter.h"
#include "wce/device.h"
#include "wce/kernel.h"

namespace {

#pragma pack(push, 1)
struct BmpFileHeader {
  char magic[2];
  uint32_t size;
  uint32_t reserved;
  uint32_t offset;
};
#pragma pack(pop)
static_assert(sizeof(BmpFileHeader) == 14, "BITMAPFILEHEADER layout");

// Writes to a temporary file and renames it over `path`, so a reader sees
// the old picture or the new one, never half of one.
bool write_bmp(const char* path) {
  const Surface& s = gdi_screen();
  int row_bytes = (s.width * 3 + 3) & ~3;
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = s.width;
  info.biHeight = s.height;  // bottom-up
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = uint32_t(row_bytes) * s.height;
  BmpFileHeader file{{'B', 'M'}, uint32_t(sizeof file + sizeof info + info.biSizeImage), 0,
                     uint32_t(sizeof file + sizeof info)};
  std::vector<uint8_t> image(info.biSizeImage, 0);
  for (int y = 0; y < s.height; ++y) {
    uint8_t* row = image.data() + size_t(s.height - 1 - y) * row_bytes;
    for (int x = 0; x < s.width; ++x) {
      uint32_t rgb = raw_to_rgb(16, surface_get(s, x, y));
      row[3 * x] = uint8_t(rgb), row[3 * x + 1] = uint8_t(rgb >> 8), row[3 * x + 2] = uint8_t(rgb >> 16);
    }
  }
  std::string temp = std::string(path) + ".tmp" + std::to_string(getpid());
  FILE* f = fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(&file, sizeof file, 1, f) == 1 && fwrite(&info, sizeof info, 1, f) == 1 &&
            fwrite(image.data(), image.size(), 1, f) == 1;
  ok = (fclose(f) == 0) && ok;
  if (!ok || rename(temp.c_str(), path) != 0) {
    int error = errno;  // for the caller's last error
    unlink(temp.c_str());
    errno = error;
    return false;
  }
  return true;
}

}  // namespace

Surface& gdi_screen() {
  static Surface* screen;
  if (!screen) {
    screen = new Surface{};
    surface_init(screen, device_screen_width(), device_screen_height(), 16);
  }
  return *screen;
}

void screen_changed() {
  device_presenter()->screen_changed();
  const char* path = getenv("DEVICE_SCREEN_CAPTURE");
  if (path && *path) write_bmp(path);
}

extern "C" const uint16_t* device_screen_pixels(void) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  return reinterpret_cast<const uint16_t*>(gdi_screen().bits.data());
}

extern "C" BOOL device_write_screen(const char* path) {
  if (!path || !*path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  if (write_bmp(path)) return TRUE;
  SetLastError(file_error_of(errno, path));  // ERROR_DISK_FULL when it did not fit
  return FALSE;
}

void gdi_screen_reshape() {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  Surface& s = gdi_screen();
  if (s.width == device_screen_width() && s.height == device_screen_height()) return;
  surface_init(&s, device_screen_width(), device_screen_height(), 16);
  screen_changed();
}
