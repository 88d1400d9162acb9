// Kernel services, threads and synchronisation.
#include <cstdlib>

#include "handler.h"
#include "wce/kernel.h"
#include "wce/synch.h"
#include "zentrix.h"

using services::pass_through;

namespace {

// CreateThread: the guest start address and parameter go into a heap
// ThreadStart record, and the thread bridge starts in their place.
void create_thread(Env* env) {
  u32* record = static_cast<u32*>(malloc(2 * sizeof(u32)));
  HANDLE thread = nullptr;
  if (record) {
    record[0] = arg(env, 3);
    record[1] = arg(env, 4);
    thread = CreateThread(arg_as<void*>(env, 1), arg(env, 2), ThreadBridge, record, arg(env, 5),
                          arg_as<DWORD*>(env, 6));
    if (!thread) free(record);  // no thread took it over
  } else {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  guest_return_value(env, guest_addr(thread), 6);
}

// SetEvent and ResetEvent are the event-modify primitive, as on Windows CE.
void set_event(Env* env) { guest_return_value(env, EventModify(arg_as<HANDLE>(env, 1), EVENT_SET), 1); }
void reset_event(Env* env) { guest_return_value(env, EventModify(arg_as<HANDLE>(env, 1), EVENT_RESET), 1); }

// Sleep has no result: EAX stays as the guest had it.
void sleep(Env* env) {
  Sleep(arg(env, 1));
  guest_return(env, 1);
}

// Critical sections: the device's, on the guest's own record; no result.
template <void (*Fn)(CRITICAL_SECTION*)>
void on_section(Env* env) {
  Fn(arg_as<CRITICAL_SECTION*>(env, 1));
  guest_return(env, 1);
}

// GetProcessAffinityMask: one processor, in both masks.
void get_process_affinity_mask(Env* env) {
  guest_write32(arg(env, 2), 1);
  guest_write32(arg(env, 3), 1);
  guest_return_value(env, 1, 3);
}

}  // namespace

extern const ApiEntry kKernelThreadApis[] = {
    {"CreateEventA", pass_through<CreateEventA>},
    {"SetEvent", set_event},
    {"ResetEvent", reset_event},
    {"CreateThread", create_thread},
    {"ResumeThread", pass_through<ResumeThread>},
    {"SuspendThread", pass_through<SuspendThread>},
    {"SetThreadPriority", pass_through<SetThreadPriority>},
    {"GetCurrentThreadId", pass_through<GetCurrentThreadId>},
    {"GetProcessAffinityMask", get_process_affinity_mask},
    {"Sleep", sleep},
    {"TlsAlloc", pass_through<TlsAlloc>},
    {"TlsGetValue", pass_through<TlsGetValue>},
    {"TlsSetValue", pass_through<TlsSetValue>},
    {"WaitForSingleObject", pass_through<WaitForSingleObject>},
    {"WaitForMultipleObjects", pass_through<WaitForMultipleObjects>},
    {"InitializeCriticalSection", on_section<InitializeCriticalSection>},
    {"EnterCriticalSection", on_section<EnterCriticalSection>},
    {"LeaveCriticalSection", on_section<LeaveCriticalSection>},
    {"DeleteCriticalSection", on_section<DeleteCriticalSection>},
    {nullptr, nullptr},
};
