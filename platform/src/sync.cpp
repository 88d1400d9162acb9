#include "sync.h"

#include <chrono>

#include "wce/kernel.h"

static std::mutex g_sync_lock;
// Never destroyed: threads may still wait on it while the process ends.
static std::condition_variable& g_sync_cond = *new std::condition_variable;

std::mutex& sync_lock() { return g_sync_lock; }
void sync_notify_all() { g_sync_cond.notify_all(); }
void sync_block(std::unique_lock<std::mutex>& hold) { g_sync_cond.wait(hold); }

static bool ready(KObject* const* objects, DWORD count, bool all, DWORD* which) {
  if (all) {
    for (DWORD i = 0; i < count; i++)
      if (!objects[i]->ops->is_signaled(objects[i])) return false;
    for (DWORD i = 0; i < count; i++)
      if (objects[i]->ops->acquire) objects[i]->ops->acquire(objects[i]);
    *which = 0;
    return true;
  }
  for (DWORD i = 0; i < count; i++) {
    if (objects[i]->ops->is_signaled(objects[i])) {
      if (objects[i]->ops->acquire) objects[i]->ops->acquire(objects[i]);
      *which = i;
      return true;
    }
  }
  return false;
}

DWORD sync_wait(KObject* const* objects, DWORD count, bool all, DWORD milliseconds) {
  for (DWORD i = 0; i < count; i++) {
    if (!objects[i]->ops->is_signaled) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
  }
  std::unique_lock<std::mutex> hold(g_sync_lock);
  DWORD which = 0;
  auto test = [&] { return ready(objects, count, all, &which); };
  if (milliseconds == INFINITE) {
    g_sync_cond.wait(hold, test);
  } else if (!g_sync_cond.wait_for(hold, std::chrono::milliseconds(milliseconds), test)) {
    return WAIT_TIMEOUT;
  }
  return WAIT_OBJECT_0 + which;
}

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  KObject* object = handle_get(handle, KOBJ_ANY);
  if (!object) return WAIT_FAILED;
  DWORD result = sync_wait(&object, 1, false, milliseconds);
  handle_release(object);
  return result;
}
