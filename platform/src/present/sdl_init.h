// Starting SDL's subsystems from any thread of the device.
#pragma once

#include <cstdint>

// SDL_InitSubSystem under one lock, with SDL kept away from the process's
// signals; false (and the reason on standard error) when it fails.
bool sdl_start_subsystem(uint32_t flags, const char* what);
