// Threads on host threads, with suspended start, suspension of running
// threads, priorities, exit codes and thread handles that can be waited on;
// thread-local storage slots; Sleep.
//
// As on Windows CE, a thread's identifier is also a handle to it: every
// thread the device knows (created here, or met on its first
// GetCurrentThreadId) holds one handle-table entry of its own whose value is
// its identifier, open while the thread runs. So an identifier given out as
// a handle (the runtime's DuplicateHandle of the current-thread pseudo
// handle) works with SuspendThread, ResumeThread, SetThreadPriority and the
// waits. The pseudo handle 0x41 names the calling thread.
#include <errno.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <time.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>

#include "futex.h"
#include "handles.h"
#include "sync.h"
#include "wce/kernel.h"
#include "wce/synch.h"

namespace {

struct Thread {
  KObject header;
  LPTHREAD_START_ROUTINE start;
  LPVOID param;
  DWORD id;
  pthread_t host;
  // Serialises suspension, resumption and the thread's end, so that the
  // host thread is alive whenever it is signalled.
  std::mutex control;
  uint32_t suspend_count;  // futex word; written under `control`
  uint32_t parked;         // futex word; 1 while the thread sits in the suspend handler
  bool running;            // under `control`: past its suspended start and not ended
  bool finished;           // under the sync lock
  DWORD exit_code;         // under the sync lock
  int priority;
};

const HANDLE kCurrentThreadPseudo = reinterpret_cast<HANDLE>(0x41);
constexpr DWORD kMaximumSuspendCount = 127;
constexpr DWORD kPriorityNormal = 3;

// Identifiers for the rare thread whose self handle could not be made;
// they stay below every handle value.
std::atomic<DWORD> g_spare_thread_id{1};
thread_local Thread* t_self;

void destroy_thread(KObject* object) { delete reinterpret_cast<Thread*>(object); }
bool thread_finished(KObject* object) { return reinterpret_cast<Thread*>(object)->finished; }
const KObjectOps kThreadOps = {destroy_thread, thread_finished, nullptr};

Thread* new_thread(LPTHREAD_START_ROUTINE start, LPVOID param, DWORD suspend_count, int refs) {
  Thread* thread = new Thread;
  kobject_init(&thread->header, KOBJ_THREAD, &kThreadOps, refs);
  thread->start = start;
  thread->param = param;
  thread->id = 0;
  thread->suspend_count = suspend_count;
  thread->parked = 0;
  thread->running = false;
  thread->finished = false;
  thread->exit_code = STILL_ACTIVE;
  thread->priority = kPriorityNormal;
  return thread;
}

// Gives the thread its identifier: a handle of its own when the table has
// room (that handle holds one reference, counted in by the caller).
void assign_id(Thread* thread) {
  HANDLE self = handle_insert(&thread->header);
  if (self) {
    thread->id = static_cast<DWORD>(reinterpret_cast<uintptr_t>(self));
  } else {
    thread->header.refs.fetch_sub(1);
    thread->id = g_spare_thread_id.fetch_add(1);
  }
}

bool id_is_handle(DWORD id) { return id >= 0x100000; }

// The thread has run its course: no more suspension, waiters released,
// identifier closed, the thread's own reference dropped.
void end_thread(Thread* thread, DWORD code) {
  {
    std::lock_guard<std::mutex> hold(thread->control);
    thread->running = false;
  }
  // The identifier closes before anyone can see the thread ended.
  if (id_is_handle(thread->id)) handle_close(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(thread->id)));
  {
    std::lock_guard<std::mutex> hold(sync_lock());
    thread->exit_code = code;
    thread->finished = true;
    sync_notify_all();
  }
  handle_release(&thread->header);
}

// Threads the device did not start (the program's main thread, threads of
// the host's libraries) are registered on first need and end with their
// host thread.
struct ForeignThreadEnd {
  Thread* thread = nullptr;
  ~ForeignThreadEnd() {
    if (thread) end_thread(thread, 0);
  }
};
thread_local ForeignThreadEnd t_foreign_end;

Thread* current_thread() {
  if (t_self) return t_self;
  // References: the self handle and the host thread itself.
  Thread* thread = new_thread(nullptr, nullptr, 0, 2);
  thread->host = pthread_self();
  thread->running = true;
  assign_id(thread);
  t_self = thread;
  t_foreign_end.thread = thread;
  return thread;
}

// The thread named by a handle, an identifier or the pseudo handle, with a
// reference taken; null with ERROR_INVALID_HANDLE.
Thread* thread_of(HANDLE handle) {
  if (handle == kCurrentThreadPseudo) {
    Thread* self = current_thread();
    self->header.refs.fetch_add(1);
    return self;
  }
  return reinterpret_cast<Thread*>(handle_get(handle, KOBJ_THREAD));
}

// Suspension of a running thread: a signal whose handler parks the thread
// on its suspend count until that count is 0 again.
int suspend_signal() { return SIGRTMIN + 4; }

void on_suspend_signal(int) {
  Thread* self = t_self;
  if (!self) return;
  int saved_errno = errno;
  __atomic_store_n(&self->parked, 1u, __ATOMIC_SEQ_CST);
  futex_wake(&self->parked, INT_MAX);
  uint32_t count;
  while ((count = __atomic_load_n(&self->suspend_count, __ATOMIC_SEQ_CST)) > 0) futex_wait(&self->suspend_count, count);
  __atomic_store_n(&self->parked, 0u, __ATOMIC_SEQ_CST);
  errno = saved_errno;
}

std::once_flag g_suspend_handler_once;
void install_suspend_handler() {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = on_suspend_signal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(suspend_signal(), &action, nullptr);
}

void* thread_main(void* arg) {
  Thread* thread = static_cast<Thread*>(arg);
  t_self = thread;
  {
    // A thread created suspended waits here for its first ResumeThread.
    std::unique_lock<std::mutex> hold(thread->control);
    thread->host = pthread_self();
    for (uint32_t count; (count = __atomic_load_n(&thread->suspend_count, __ATOMIC_SEQ_CST)) > 0;) {
      hold.unlock();
      futex_wait(&thread->suspend_count, count);
      hold.lock();
    }
    thread->running = true;
  }
  DWORD code = thread->start(thread->param);
  end_thread(thread, code);
  return nullptr;
}

// Thread-local storage: a fixed number of slots per thread.
std::mutex g_tls_lock;
bool g_tls_used[TLS_MINIMUM_AVAILABLE];
thread_local LPVOID t_tls[TLS_MINIMUM_AVAILABLE];

}  // namespace

extern "C" BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target, DWORD,
                                BOOL, DWORD options) {
  const HANDLE current_process = GetCurrentProcess();
  if (sourceProcess != current_process || targetProcess != current_process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  HANDLE copy;
  if (source == kCurrentThreadPseudo) {
    Thread* self = current_thread();
    self->header.refs.fetch_add(1);
    copy = handle_insert(&self->header);
    if (!copy) handle_release(&self->header);
  } else if (source == current_process) {
    copy = current_process;
  } else {
    copy = handle_duplicate(source);
  }
  if (!copy) return FALSE;
  if ((options & DUPLICATE_CLOSE_SOURCE) && source != kCurrentThreadPseudo && source != current_process)
    handle_close(source);
  if (target)
    *target = copy;
  else if (copy != current_process)
    handle_close(copy);
  return TRUE;
}

extern "C" DWORD GetCurrentThreadId(void) { return current_thread()->id; }

extern "C" HANDLE CreateThread(void*, DWORD stack, LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                               DWORD* id) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::call_once(g_suspend_handler_once, install_suspend_handler);
  // References: the handle returned, the identifier, the host thread.
  Thread* thread = new_thread(start, param, (flags & CREATE_SUSPENDED) ? 1u : 0u, 3);
  HANDLE handle = handle_insert(&thread->header);
  if (!handle) {
    delete thread;
    return nullptr;
  }
  assign_id(thread);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  size_t size = stack > (1u << 20) ? stack : (1u << 20);
  pthread_attr_setstacksize(&attr, size);
  pthread_t host;
  int error = pthread_create(&host, &attr, thread_main, thread);
  pthread_attr_destroy(&attr);
  if (error) {
    thread->header.refs.fetch_sub(1);  // the host thread's own reference
    if (id_is_handle(thread->id)) handle_close(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(thread->id)));
    CloseHandle(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (id) *id = thread->id;
  return handle;
}

extern "C" DWORD SuspendThread(HANDLE handle) {
  Thread* thread = thread_of(handle);
  if (!thread) return 0xFFFFFFFF;
  std::call_once(g_suspend_handler_once, install_suspend_handler);
  DWORD previous;
  bool park_self = false;
  {
    std::lock_guard<std::mutex> hold(thread->control);
    previous = __atomic_load_n(&thread->suspend_count, __ATOMIC_SEQ_CST);
    if (previous >= kMaximumSuspendCount) {
      handle_release(&thread->header);
      SetLastError(ERROR_SIGNAL_REFUSED);
      return 0xFFFFFFFF;
    }
    __atomic_store_n(&thread->suspend_count, previous + 1, __ATOMIC_SEQ_CST);
    if (previous == 0 && thread->running) {
      if (thread == t_self) {
        park_self = true;
      } else {
        // The thread is stopped when SuspendThread returns.
        pthread_kill(thread->host, suspend_signal());
        while (__atomic_load_n(&thread->parked, __ATOMIC_SEQ_CST) == 0) futex_wait(&thread->parked, 0);
      }
    }
  }
  // A thread that suspends itself parks outside the lock, so that another
  // thread can resume it.
  if (park_self) pthread_kill(pthread_self(), suspend_signal());
  handle_release(&thread->header);
  return previous;
}

extern "C" DWORD ResumeThread(HANDLE handle) {
  Thread* thread = thread_of(handle);
  if (!thread) return 0xFFFFFFFF;
  DWORD previous;
  {
    std::lock_guard<std::mutex> hold(thread->control);
    previous = __atomic_load_n(&thread->suspend_count, __ATOMIC_SEQ_CST);
    if (previous > 0) {
      __atomic_store_n(&thread->suspend_count, previous - 1, __ATOMIC_SEQ_CST);
      if (previous == 1) futex_wake(&thread->suspend_count, INT_MAX);
    }
  }
  handle_release(&thread->header);
  return previous;
}

extern "C" BOOL SetThreadPriority(HANDLE handle, int priority) {
  if (priority < THREAD_PRIORITY_TIME_CRITICAL || priority > THREAD_PRIORITY_IDLE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Thread* thread = thread_of(handle);
  if (!thread) return FALSE;
  // Kept for the thread; the host scheduler gives every thread the same
  // share (raising a host thread's priority needs privileges we lack).
  __atomic_store_n(&thread->priority, priority, __ATOMIC_RELAXED);
  handle_release(&thread->header);
  return TRUE;
}

extern "C" int GetThreadPriority(HANDLE handle) {
  Thread* thread = thread_of(handle);
  if (!thread) return THREAD_PRIORITY_ERROR_RETURN;
  int priority = __atomic_load_n(&thread->priority, __ATOMIC_RELAXED);
  handle_release(&thread->header);
  return priority;
}

extern "C" BOOL GetExitCodeThread(HANDLE handle, DWORD* code) {
  Thread* thread = thread_of(handle);
  if (!thread) return FALSE;
  {
    std::lock_guard<std::mutex> hold(sync_lock());
    *code = thread->exit_code;
  }
  handle_release(&thread->header);
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
  if (milliseconds == INFINITE) {
    for (;;) pause();
  }
  timespec ts = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}
