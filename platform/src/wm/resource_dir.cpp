// The Win32 resource directory of an image in memory. The headers are
// copied out through a pipe first (the kernel refuses an unreadable
// address with EFAULT), so a handle that names no readable image is
// refused instead of faulting.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "resources.h"
#include "wce/kernel.h"
#include "wce/wstr.h"

namespace {

uint32_t word32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t word16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Copies at most a pipe's worth (the headers are far smaller).
bool copy_out(const void* from, void* to, size_t n) {
  static std::mutex lock;
  static int ends[2] = {-1, -1};
  std::lock_guard<std::mutex> hold(lock);
  if (ends[0] < 0 && pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  if (write(ends[1], from, n) != static_cast<ssize_t>(n)) return false;
  return read(ends[0], to, n) == static_cast<ssize_t>(n);
}

// The resource directory's address and size in the image, or null.
const unsigned char* resource_root(HINSTANCE module, uint32_t* size, uint32_t* image_size) {
  const unsigned char* base = reinterpret_cast<const unsigned char*>(module);
  unsigned char dos[64];
  if (!base || !copy_out(base, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return nullptr;
  uint32_t pe = word32(dos + 0x3C);
  unsigned char nt[24 + 96 + 8 * 3];
  if (pe > 0x10000 || !copy_out(base + pe, nt, sizeof nt) || memcmp(nt, "PE\0\0", 4) != 0) return nullptr;
  const unsigned char* opt = nt + 24;
  if (word16(opt) != 0x10B || word32(opt + 92) < 3) return nullptr;  // PE32 with a resource entry
  *image_size = word32(opt + 56);
  uint32_t rva = word32(opt + 96 + 16);
  *size = word32(opt + 96 + 20);
  if (!rva || !*size || rva >= *image_size || *size > *image_size - rva) return nullptr;
  unsigned char probe[16];
  if (!copy_out(base + rva, probe, sizeof probe)) return nullptr;
  return base + rva;
}

bool name_equal(const unsigned char* root, uint32_t offset, LPCWSTR name) {
  const unsigned char* s = root + offset;
  uint16_t n = word16(s);
  for (uint16_t i = 0; i < n; i++, name++) {
    WCHAR a = wstr_fold(word16(s + 2 + 2 * i)), b = wstr_fold(*name);
    if (!b || a != b) return false;
  }
  return *name == 0;
}

// The entry of one directory level that matches `name` (null: the first).
bool step(const unsigned char* root, uint32_t root_size, uint32_t dir, LPCWSTR name, uint32_t* target) {
  if (dir + 16 > root_size) return false;
  const unsigned char* d = root + dir;
  uint32_t count = word16(d + 12) + word16(d + 14);
  if (dir + 16 + 8 * count > root_size) return false;
  for (uint32_t i = 0; i < count; i++) {
    const unsigned char* e = d + 16 + 8 * i;
    uint32_t id = word32(e);
    bool match = !name || ((id & 0x80000000u)
                               ? reinterpret_cast<uintptr_t>(name) >= 0x10000 && (id & 0x7FFFFFFF) < root_size &&
                                     name_equal(root, id & 0x7FFFFFFF, name)
                               : reinterpret_cast<uintptr_t>(name) == id);
    if (match) {
      *target = word32(e + 4);
      return true;
    }
  }
  return false;
}

}  // namespace

bool resource_find(HINSTANCE module, uintptr_t type, LPCWSTR name, ResourceData* found) {
  uint32_t size, image_size;
  const unsigned char* root = resource_root(module, &size, &image_size);
  if (!root) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return false;
  }
  uint32_t at;
  if (!step(root, size, 0, reinterpret_cast<LPCWSTR>(type), &at) || !(at & 0x80000000u)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return false;
  }
  if (!step(root, size, at & 0x7FFFFFFF, name, &at) || !(at & 0x80000000u) ||
      !step(root, size, at & 0x7FFFFFFF, nullptr, &at) || (at & 0x80000000u) || at + 16 > size) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return false;
  }
  uint32_t rva = word32(root + at), length = word32(root + at + 4);
  if (rva >= image_size || length > image_size - rva) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return false;
  }
  found->data = reinterpret_cast<const unsigned char*>(module) + rva;
  found->size = length;
  return true;
}
