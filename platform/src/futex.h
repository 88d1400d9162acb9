// Waiting on a 32-bit word (Linux futex), private to the process. Both
// calls are async-signal-safe, so a signal handler may park on a word.
#pragma once

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

// Sleeps while *word == expected (returns at once when it differs, and may
// return spuriously: callers test again).
static inline void futex_wait(volatile uint32_t* word, uint32_t expected) {
  syscall(SYS_futex, word, FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr, 0);
}

static inline void futex_wake(volatile uint32_t* word, int count) {
  syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, count, nullptr, nullptr, 0);
}
