#include "handles.h"

#include <mutex>
#include <vector>

#include "wce/kernel.h"

namespace {

// value = generation << 20 | (slot + 1) << 2: never below 0x100000, so no
// handle collides with the pseudo handles or with small integers.
constexpr uint32_t kSlotBits = 18;
constexpr uint32_t kMaxSlots = (1u << kSlotBits) - 1;
constexpr uint32_t kGenMask = 0x7FF;

struct Slot {
  KObject* object;
  uint32_t generation;
};

std::mutex g_lock;
std::vector<Slot> g_slots;
std::vector<uint32_t> g_free;

bool decode(HANDLE handle, uint32_t* slot) {
  uint32_t value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
  uint32_t index = ((value >> 2) & kMaxSlots);
  uint32_t generation = value >> 20;
  if ((value & 3) || index == 0 || index > g_slots.size()) return false;
  if (!g_slots[index - 1].object || g_slots[index - 1].generation != generation) return false;
  *slot = index - 1;
  return true;
}

}  // namespace

HANDLE handle_insert(KObject* object) {
  std::lock_guard<std::mutex> hold(g_lock);
  uint32_t slot;
  if (!g_free.empty()) {
    slot = g_free.back();
    g_free.pop_back();
  } else if (g_slots.size() < kMaxSlots) {
    slot = static_cast<uint32_t>(g_slots.size());
    g_slots.push_back({nullptr, 0});
  } else {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
  }
  Slot& s = g_slots[slot];
  s.generation = (s.generation % kGenMask) + 1;
  s.object = object;
  uint32_t value = s.generation << 20 | (slot + 1) << 2;
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

KObject* handle_get(HANDLE handle, KObjectKind kind) {
  std::lock_guard<std::mutex> hold(g_lock);
  uint32_t slot;
  if (!decode(handle, &slot) || (kind != KOBJ_ANY && g_slots[slot].object->kind != kind)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  KObject* object = g_slots[slot].object;
  object->refs.fetch_add(1);
  return object;
}

void handle_release(KObject* object) {
  if (object && object->refs.fetch_sub(1) == 1) object->ops->destroy(object);
}

bool handle_close(HANDLE handle) {
  KObject* object;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    uint32_t slot;
    if (!decode(handle, &slot)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    object = g_slots[slot].object;
    g_slots[slot].object = nullptr;
    g_free.push_back(slot);
  }
  handle_release(object);
  return true;
}

HANDLE handle_duplicate(HANDLE handle) {
  KObject* object = handle_get(handle, KOBJ_ANY);
  if (!object) return nullptr;
  HANDLE copy = handle_insert(object);
  if (!copy) handle_release(object);
  return copy;
}

extern "C" BOOL CloseHandle(HANDLE object) { return handle_close(object) ? TRUE : FALSE; }
