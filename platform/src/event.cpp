// Events and the Windows CE event-modify primitive (set, reset, pulse).
//
// Waits go through the device's common sync_wait, which asks each object
// whether it is signalled on the waiting thread, under the sync lock. A
// pulse must release exactly the threads waiting at that moment, so an
// event keeps the threads that found it unsignalled (each one's first
// look registers it); a pulse marks them released (all of them, or the
// longest-waiting one for an auto-reset event) and leaves the event reset;
// a released thread's next look succeeds and its satisfied wait unregisters
// it. A thread that stopped waiting (a timeout) stays registered, so a
// pulse that comes before its next wait on the event is delivered to that
// wait instead of being lost.
#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "handles.h"
#include "sync.h"
#include "wce/kernel.h"
#include "wce/synch.h"

namespace {

struct Waiter {
  const void* thread;
  bool released;
};

struct Event {
  KObject header;
  bool manual;
  bool signaled;                 // under the sync lock
  std::vector<Waiter> waiters;   // under the sync lock
  std::u16string name;           // empty for an unnamed event
};

// Identifies the calling thread among an event's waiters.
thread_local char t_waiter_mark;

std::mutex g_names_lock;
std::map<std::u16string, Event*> g_names;  // named events that are alive

std::vector<Waiter>::iterator waiter_of(Event* event) {
  return std::find_if(event->waiters.begin(), event->waiters.end(),
                      [](const Waiter& w) { return w.thread == &t_waiter_mark; });
}

bool event_signaled(KObject* object) {
  Event* event = reinterpret_cast<Event*>(object);
  auto self = waiter_of(event);
  if (self != event->waiters.end() && self->released) return true;
  if (event->signaled) return true;
  if (self == event->waiters.end()) event->waiters.push_back({&t_waiter_mark, false});
  return false;
}

void event_acquire(KObject* object) {
  Event* event = reinterpret_cast<Event*>(object);
  auto self = waiter_of(event);
  bool by_pulse = self != event->waiters.end() && self->released;
  if (self != event->waiters.end()) event->waiters.erase(self);
  if (!by_pulse && !event->manual) event->signaled = false;
}

void destroy_event(KObject* object) {
  Event* event = reinterpret_cast<Event*>(object);
  if (!event->name.empty()) {
    std::lock_guard<std::mutex> hold(g_names_lock);
    auto it = g_names.find(event->name);
    if (it != g_names.end() && it->second == event) g_names.erase(it);
  }
  delete event;
}

const KObjectOps kEventOps = {destroy_event, event_signaled, event_acquire};

// A further reference to the live event of that name, or null.
Event* named_event(const std::u16string& name) {
  auto it = g_names.find(name);
  if (it == g_names.end()) return nullptr;
  int refs = it->second->header.refs.load();
  while (refs > 0 && !it->second->header.refs.compare_exchange_weak(refs, refs + 1)) {
  }
  return refs > 0 ? it->second : nullptr;
}

}  // namespace

extern "C" HANDLE CreateEventW(SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  std::u16string key = name ? std::u16string(name) : std::u16string();
  std::unique_lock<std::mutex> names(g_names_lock, std::defer_lock);
  if (!key.empty()) {
    names.lock();
    if (Event* existing = named_event(key)) {
      names.unlock();
      HANDLE handle = handle_insert(&existing->header);
      if (!handle) {
        handle_release(&existing->header);
        return nullptr;
      }
      SetLastError(ERROR_ALREADY_EXISTS);
      return handle;
    }
  }
  Event* event = new Event{{KOBJ_EVENT, &kEventOps, {1}}, manualReset != FALSE, initialState != FALSE, {}, key};
  if (!key.empty()) g_names[key] = event;
  if (names.owns_lock()) names.unlock();
  HANDLE handle = handle_insert(&event->header);
  if (!handle) {
    handle_release(&event->header);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  return handle;
}

extern "C" BOOL EventModify(HANDLE handle, DWORD function) {
  if (function != EVENT_SET && function != EVENT_RESET && function != EVENT_PULSE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  KObject* object = handle_get(handle, KOBJ_EVENT);
  if (!object) return FALSE;
  Event* event = reinterpret_cast<Event*>(object);
  {
    std::lock_guard<std::mutex> hold(sync_lock());
    switch (function) {
      case EVENT_SET:
        event->signaled = true;
        // Threads still waiting will find it signalled; whoever looks again
        // after a reset registers anew.
        std::erase_if(event->waiters, [](const Waiter& w) { return !w.released; });
        sync_notify_all();
        break;
      case EVENT_RESET:
        event->signaled = false;
        break;
      case EVENT_PULSE:
        event->signaled = false;
        for (Waiter& w : event->waiters) {
          if (w.released) continue;
          w.released = true;
          if (!event->manual) break;
        }
        sync_notify_all();
        break;
    }
  }
  handle_release(object);
  return TRUE;
}

extern "C" BOOL SetEvent(HANDLE event) { return EventModify(event, EVENT_SET); }
extern "C" BOOL ResetEvent(HANDLE event) { return EventModify(event, EVENT_RESET); }
extern "C" BOOL PulseEvent(HANDLE event) { return EventModify(event, EVENT_PULSE); }

extern "C" DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  KObject* objects[MAXIMUM_WAIT_OBJECTS];
  DWORD taken = 0;
  DWORD result = WAIT_FAILED;
  for (; taken < count; taken++) {
    objects[taken] = handle_get(handles[taken], KOBJ_ANY);
    if (!objects[taken]) break;
  }
  if (taken == count) {
    bool duplicate = false;
    for (DWORD i = 0; waitAll && i < count; i++)
      for (DWORD j = i + 1; j < count; j++) duplicate = duplicate || objects[i] == objects[j];
    if (duplicate)
      SetLastError(ERROR_INVALID_PARAMETER);  // as on Win32: one object twice in a wait for all
    else
      result = sync_wait(objects, count, waitAll != FALSE, milliseconds);
  }
  for (DWORD i = 0; i < taken; i++) handle_release(objects[i]);
  return result;
}
