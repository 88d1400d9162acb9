// GDI handles: a slot table with generations. Values always have bit 1 set,
// which no kernel handle has, so a kernel handle is never taken for a GDI
// object or the other way round.
#include "gdi.h"

std::mutex g_gdi_lock;

namespace {

constexpr uint32_t kSlotBits = 18;
constexpr uint32_t kMaxSlots = (1u << kSlotBits) - 1;
constexpr uint32_t kGenMask = 0x7FF;

struct Slot {
  void* object;
  GdiKind kind;
  uint32_t generation;
};

std::vector<Slot>& slots() {
  static std::vector<Slot>& table = *new std::vector<Slot>;
  return table;
}

std::vector<uint32_t>& free_slots() {
  static std::vector<uint32_t>& list = *new std::vector<uint32_t>;
  return list;
}

bool decode(const void* handle, uint32_t* slot) {
  uint32_t value = uint32_t(reinterpret_cast<uintptr_t>(handle));
  uint32_t index = (value >> 2) & kMaxSlots;
  if ((value & 3) != 2 || index == 0 || index > slots().size()) return false;
  const Slot& s = slots()[index - 1];
  if (!s.object || s.generation != value >> 20) return false;
  *slot = index - 1;
  return true;
}

}  // namespace

void* gdi_insert(void* object, GdiKind kind) {
  std::vector<Slot>& table = slots();
  uint32_t slot;
  if (!free_slots().empty()) {
    slot = free_slots().back();
    free_slots().pop_back();
  } else if (table.size() < kMaxSlots) {
    slot = uint32_t(table.size());
    table.push_back({nullptr, GDI_NONE, 0});
  } else {
    return nullptr;
  }
  Slot& s = table[slot];
  s.generation = (s.generation % kGenMask) + 1;
  s.object = object;
  s.kind = kind;
  return reinterpret_cast<void*>(uintptr_t(s.generation << 20 | (slot + 1) << 2 | 2));
}

void* gdi_lookup(const void* handle, GdiKind kind) {
  uint32_t slot;
  if (!decode(handle, &slot) || slots()[slot].kind != kind) return nullptr;
  return slots()[slot].object;
}

void gdi_remove(const void* handle) {
  uint32_t slot;
  if (decode(handle, &slot)) {
    slots()[slot].object = nullptr;
    free_slots().push_back(slot);
  }
}
