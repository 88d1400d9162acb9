// The device's own settings and its start-up. Settings come from
// environment variables with the prefix DEVICE_ (see the README); the
// system running on the device reads none of them.
#pragma once

#include <string>

#include "wce/types.h"

typedef int (*WinMainFn)(HINSTANCE instance, HINSTANCE previous, LPWSTR cmdline, int show);

extern "C" {
// Program start on the device: arranges the address space so that every
// address the guest can see lies below 0x80000000, then runs `winmain`;
// the process ends with its result when it returns. Returns (-1) only
// when the program cannot be started.
int device_run_program(int argc, char** argv, WinMainFn winmain);
// How many times MessageBeep sounded.
unsigned device_beep_count(void);
}

// Host path of the device root (no trailing slash).
const std::string& device_root();
// Host folder of the running program (no trailing slash).
const std::string& device_program_dir();
// Maps a device path ("\a\b", "a/b", "trevik.txt") to a host path, matching
// every existing component without regard to case. A missing last
// component keeps the given spelling.
std::string device_host_path(const WCHAR* path);
std::string device_host_path8(const char* path);
// The device path of a host path: "\x\y" inside the root, else the host
// path with backslashes.
std::u16string device_path_of(const std::string& host);
// Screen size in pixels (portrait unless the display is turned).
int device_screen_width();
int device_screen_height();
