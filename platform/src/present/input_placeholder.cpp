// Until the window manager takes presenter input, it goes nowhere.
#include "device_input.h"

__attribute__((weak)) void device_input_pen(int, int, int) {}
__attribute__((weak)) void device_input_key(UINT, bool) {}
__attribute__((weak)) void device_input_close() {}
