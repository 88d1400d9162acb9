// 16-bit wide strings of the device and their conversion to the host's
// UTF-8 (used for host file names and console output).
#pragma once

#include <string>

#include "wce/types.h"

// ASCII letters in upper case, everything else as it is: how the device
// compares file, class, property and resource names.
static inline WCHAR wstr_fold(WCHAR c) { return (c >= u'a' && c <= u'z') ? WCHAR(c - 32) : c; }
// The whole name folded, as a key for look-ups that ignore case.
std::u16string wstr_folded(const WCHAR* s);

size_t wstr_len(const WCHAR* s);
WCHAR* wstr_copy(WCHAR* dst, const WCHAR* src);
int wstr_icmp(const WCHAR* a, const WCHAR* b);
std::string wstr_to_utf8(const WCHAR* s);
std::u16string utf8_to_wstr(const char* s);
// Copies at most size - 1 characters and terminates; returns the length copied.
size_t wstr_copy_n(WCHAR* dst, size_t size, const std::u16string& src);
