// One lock and one condition for every waitable object of the device:
// a state change of any object wakes all waiters, who test their own
// objects again. Simple, and enough for waits on a handful of objects.
#pragma once

#include <condition_variable>
#include <mutex>

#include "handles.h"

std::mutex& sync_lock();
// Call with sync_lock held after an object became signalled.
void sync_notify_all();
// Sleeps until the next sync_notify_all; `hold` must hold sync_lock.
void sync_block(std::unique_lock<std::mutex>& hold);
// Waits for `count` objects (all of them when `all`), up to `milliseconds`
// (INFINITE allowed). Returns WAIT_OBJECT_0 + index, WAIT_TIMEOUT or
// WAIT_FAILED.
DWORD sync_wait(KObject* const* objects, DWORD count, bool all, DWORD milliseconds);
