// Helpers of the kernel handler tests: the tagged handler of any API name
// (bound through a module's imports, as the guest gets it), and a guest
// call made the way translated code makes it.
#pragma once

#include "guest_call.h"

template <typename T>
u32 word(T* pointer) {
  return guest_addr(pointer);
}
