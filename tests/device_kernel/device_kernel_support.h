// Helpers of the device kernel tests: a fresh folder under the device
// root per test, and host-side looks at what the device did.
#pragma once

#include <string>

#include "wce/types.h"

// A new empty folder "\<name>" in the device root (removed first if it
// exists); returns its device path without a trailing separator.
std::u16string fresh_folder(const char* name);
// The host path of a device path.
std::string host_of(const std::u16string& device_path);
// Writes `content` to the host file behind a device path.
void put_file(const std::u16string& device_path, const std::string& content);
// The content of the host file behind a device path ("" if none).
std::string file_content(const std::u16string& device_path);
