// Threads on host threads, with suspended start, exit codes and thread
// handles that can be waited on; thread-local storage slots; Sleep.
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <atomic>
#include <mutex>

#include "handles.h"
#include "sync.h"
#include "wce/kernel.h"

namespace {

struct Thread {
  KObject header;
  LPTHREAD_START_ROUTINE start;
  LPVOID param;
  DWORD id;
  DWORD suspend_count;  // guarded by the sync lock
  bool finished;        // guarded by the sync lock
  DWORD exit_code;
};

std::atomic<DWORD> g_next_thread_id{1};
thread_local DWORD t_thread_id;

void destroy_thread(KObject* object) { delete reinterpret_cast<Thread*>(object); }
bool thread_finished(KObject* object) { return reinterpret_cast<Thread*>(object)->finished; }
const KObjectOps kThreadOps = {destroy_thread, thread_finished, nullptr};

void* thread_main(void* arg) {
  Thread* thread = static_cast<Thread*>(arg);
  t_thread_id = thread->id;
  {
    std::unique_lock<std::mutex> hold(sync_lock());
    while (thread->suspend_count > 0) sync_block(hold);
  }
  DWORD code = thread->start(thread->param);
  {
    std::lock_guard<std::mutex> hold(sync_lock());
    thread->exit_code = code;
    thread->finished = true;
    sync_notify_all();
  }
  handle_release(&thread->header);
  return nullptr;
}

// Thread-local storage: a fixed number of slots per thread.
std::mutex g_tls_lock;
bool g_tls_used[TLS_MINIMUM_AVAILABLE];
thread_local LPVOID t_tls[TLS_MINIMUM_AVAILABLE];

}  // namespace

extern "C" DWORD GetCurrentThreadId(void) {
  if (!t_thread_id) t_thread_id = g_next_thread_id.fetch_add(1);
  return t_thread_id;
}

extern "C" HANDLE CreateThread(void*, DWORD stack, LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                               DWORD* id) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Thread* thread = new Thread{{KOBJ_THREAD, &kThreadOps, {2}}, start, param, g_next_thread_id.fetch_add(1),
                              (flags & CREATE_SUSPENDED) ? 1u : 0u, false, STILL_ACTIVE};
  HANDLE handle = handle_insert(&thread->header);
  if (!handle) {
    delete thread;
    return nullptr;
  }
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  size_t size = stack > (1u << 20) ? stack : (1u << 20);
  pthread_attr_setstacksize(&attr, size);
  pthread_t host;
  int error = pthread_create(&host, &attr, thread_main, thread);
  pthread_attr_destroy(&attr);
  if (error) {
    thread->header.refs.fetch_sub(1);  // the thread's own reference
    CloseHandle(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (id) *id = thread->id;
  return handle;
}

extern "C" DWORD ResumeThread(HANDLE handle) {
  KObject* object = handle_get(handle, KOBJ_THREAD);
  if (!object) return 0xFFFFFFFF;
  Thread* thread = reinterpret_cast<Thread*>(object);
  DWORD previous;
  {
    std::lock_guard<std::mutex> hold(sync_lock());
    previous = thread->suspend_count;
    if (thread->suspend_count > 0 && --thread->suspend_count == 0) sync_notify_all();
  }
  handle_release(object);
  return previous;
}

extern "C" BOOL GetExitCodeThread(HANDLE handle, DWORD* code) {
  KObject* object = handle_get(handle, KOBJ_THREAD);
  if (!object) return FALSE;
  {
    std::lock_guard<std::mutex> hold(sync_lock());
    *code = reinterpret_cast<Thread*>(object)->exit_code;
  }
  handle_release(object);
  return TRUE;
}

extern "C" DWORD TlsAlloc(void) {
  std::lock_guard<std::mutex> hold(g_tls_lock);
  for (DWORD i = 0; i < TLS_MINIMUM_AVAILABLE; i++) {
    if (!g_tls_used[i]) {
      g_tls_used[i] = true;
      return i;
    }
  }
  SetLastError(ERROR_NO_MORE_ITEMS);
  return TLS_OUT_OF_INDEXES;
}

extern "C" BOOL TlsFree(DWORD index) {
  std::lock_guard<std::mutex> hold(g_tls_lock);
  if (index >= TLS_MINIMUM_AVAILABLE || !g_tls_used[index]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  g_tls_used[index] = false;
  return TRUE;
}

extern "C" LPVOID TlsGetValue(DWORD index) {
  if (index >= TLS_MINIMUM_AVAILABLE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  return t_tls[index];
}

extern "C" BOOL TlsSetValue(DWORD index, LPVOID value) {
  if (index >= TLS_MINIMUM_AVAILABLE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  t_tls[index] = value;
  return TRUE;
}

extern "C" void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec ts = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}
