// Character facts of the device's one locale (English, United States):
// case pairs, character classes and sort weights, for the Latin, Greek and
// Cyrillic letters of the Basic Multilingual Plane's first blocks.
#pragma once

#include <cstddef>

#include "wce/locale.h"

WCHAR char_upper(WCHAR c);
WCHAR char_lower(WCHAR c);
// CT_CTYPE1 bits of a character.
WORD char_type1(WCHAR c);
// The letter without its accent (e.g. U+00E9 -> 'e'), or c itself.
WCHAR char_base(WCHAR c);
// Whether the character is a nonspacing mark.
bool char_nonspacing(WCHAR c);
// Whether `locale` names the device's locale (0x409, or a default or
// neutral identifier that stands for it).
bool locale_supported(LCID locale);
// The length a locale function works on: `count` characters, or up to the
// terminator when negative (terminator included when `with_terminator`).
// A terminator met before `count` ends the text there, so that a count
// longer than the string never reads beyond it.
size_t locale_text_length(const WCHAR* text, int count, bool with_terminator);
