// Kernel services, time: the device's clocks, and timeGetTime
// made from the performance counter.
#include <atomic>

#include "handler.h"
#include "wce/time.h"

using services::pass_through;

namespace {

// Filled by the first timeGetTime; every thread that races to fill it
// stores the same value.
std::atomic<uint64_t> g_counter_frequency{0};

// timeGetTime: the low 32 bits of counter × 1000 / frequency, the product
// taken modulo 2^64, so the answer wraps at 2^32 milliseconds.
void time_get_time(Env* env) {
  uint64_t frequency = g_counter_frequency.load(std::memory_order_relaxed);
  if (frequency == 0) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    frequency = static_cast<uint64_t>(f.QuadPart);
    g_counter_frequency.store(frequency, std::memory_order_relaxed);
  }
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uint64_t milliseconds = frequency ? (static_cast<uint64_t>(counter.QuadPart) * 1000) / frequency : 0;
  guest_return_value(env, static_cast<u32>(milliseconds), 0);
}

template <void (*Fn)(SYSTEMTIME*)>
void get_time(Env* env) {
  Fn(arg_as<SYSTEMTIME*>(env, 1));
  guest_return(env, 1);
}

}  // namespace

extern const ApiEntry kKernelTimeApis[] = {
    {"GetTickCount", pass_through<GetTickCount>},
    {"QueryPerformanceCounter", pass_through<QueryPerformanceCounter>},
    {"QueryPerformanceFrequency", pass_through<QueryPerformanceFrequency>},
    {"GetLocalTime", get_time<GetLocalTime>},
    {"GetSystemTime", get_time<GetSystemTime>},
    {"GetTimeZoneInformation", pass_through<GetTimeZoneInformation>},
    {"timeGetTime", time_get_time},
    {nullptr, nullptr},
};
