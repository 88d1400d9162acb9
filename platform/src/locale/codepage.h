// The device's code pages: Windows-1252 (the 8-bit default), 437 (the OEM
// page) and UTF-8. The 8-bit page in use is a device setting.
#pragma once

#include "wce/locale.h"

struct CodePage {
  UINT id;
  // The character of each byte 0x80..0xFF; 0 where the byte has none.
  const WCHAR* high;
};

// The table of a single-byte page (CP_ACP and CP_OEMCP resolved), or null
// for UTF-8 and for pages the device does not know.
const CodePage* codepage_table(UINT page);
// CP_ACP, CP_THREAD_ACP and CP_OEMCP resolved to a page number.
UINT codepage_resolve(UINT page);
bool codepage_known(UINT page);
// The byte for a character in a single-byte page, or -1 when it has none.
int codepage_byte(const CodePage* page, WCHAR c);
