// The process-wide handle table. Every kernel object (file, event, thread,
// find handle, serial port, registry key, snapshot, waveform output) is a
// KObject reached through a handle value that encodes a slot and a
// generation, so stale or foreign values fail with ERROR_INVALID_HANDLE.
#pragma once

#include <atomic>

#include "wce/types.h"

enum KObjectKind : uint32_t {
  KOBJ_ANY = 0,
  KOBJ_FILE,
  KOBJ_EVENT,
  KOBJ_THREAD,
  KOBJ_FIND,
  KOBJ_COMM,
  KOBJ_REGKEY,
  KOBJ_SNAPSHOT,
  KOBJ_HEAP,
  KOBJ_SOCKET,
  KOBJ_WAVEOUT,
};

struct KObject;
struct KObjectOps {
  // Frees the object when its last reference is dropped.
  void (*destroy)(KObject* object);
  // Waitable objects: whether the object is signalled; called with the
  // sync lock held.
  bool (*is_signaled)(KObject* object);
  // Waitable objects: the effect of a satisfied wait (auto-reset events
  // reset); called with the sync lock held. May be null.
  void (*acquire)(KObject* object);
};

struct KObject {
  KObjectKind kind;
  const KObjectOps* ops;
  std::atomic<int> refs;
};

// Fills an object's header: its kind, its operations and `refs` references.
inline void kobject_init(KObject* object, KObjectKind kind, const KObjectOps* ops, int refs = 1) {
  object->kind = kind;
  object->ops = ops;
  object->refs = refs;
}

// Registers `object` (whose refs the table takes over) and returns its
// handle, or null when the table is full (last error set).
HANDLE handle_insert(KObject* object);
// Looks up a live handle of the given kind (KOBJ_ANY for any) and adds a
// reference; null with ERROR_INVALID_HANDLE when it is not one.
KObject* handle_get(HANDLE handle, KObjectKind kind);
// Drops a reference taken by handle_get.
void handle_release(KObject* object);
// Removes the handle from the table and drops the table's reference.
bool handle_close(HANDLE handle);
// A second handle to the same object.
HANDLE handle_duplicate(HANDLE handle);
