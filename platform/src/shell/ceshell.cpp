// The shell's allocator and the special folders as item id lists.
#include <cstdlib>
#include <cstring>
#include <string>

#include "wce/kernel.h"
#include "wce/shell.h"

namespace {

HRESULT query_interface(IMalloc* self, const void* iid, void** object);
ULONG add_ref(IMalloc*) { return 1; }  // one static allocator: never freed
ULONG release(IMalloc*) { return 1; }
void* alloc(IMalloc*, ULONG size) { return malloc(size ? size : 1); }
void* reallocate(IMalloc*, void* block, ULONG size) { return realloc(block, size ? size : 1); }
void free_block(IMalloc*, void* block) { free(block); }
// The C library keeps no size the device could read: unknown, as Win32
// answers for a block it cannot tell.
ULONG get_size(IMalloc*, void*) { return static_cast<ULONG>(-1); }
int did_alloc(IMalloc*, void*) { return -1; }
void heap_minimize(IMalloc*) {}

const IMallocVtbl kMallocMethods = {query_interface, add_ref, release, alloc, reallocate,
                                    free_block, get_size, did_alloc, heap_minimize};
IMalloc g_malloc{&kMallocMethods};

// IID_IUnknown {00000000-0000-0000-C000-000000000046} and IID_IMalloc
// {00000002-0000-0000-C000-000000000046} differ only in their first word.
bool is_known_interface(const void* iid) {
  static const uint8_t kTail[12] = {0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  const uint8_t* bytes = static_cast<const uint8_t*>(iid);
  uint32_t first;
  memcpy(&first, bytes, 4);
  return (first == 0 || first == 2) && memcmp(bytes + 4, kTail, 12) == 0;
}

HRESULT query_interface(IMalloc* self, const void* iid, void** object) {
  if (!object) return E_INVALIDARG;
  *object = iid && is_known_interface(iid) ? self : nullptr;
  return *object ? S_OK : E_NOINTERFACE;
}

const char16_t* folder_path(int folder) {
  switch (folder & 0xFF) {  // the high bits are flags
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY: return u"\\Windows\\Desktop";
    case CSIDL_PROGRAMS: return u"\\Windows\\Start Menu\\Programs";
    case CSIDL_PERSONAL: return u"\\My Documents";
    case CSIDL_FAVORITES: return u"\\Windows\\Favorites";
    case CSIDL_STARTUP: return u"\\Windows\\StartUp";
    case CSIDL_RECENT: return u"\\Windows\\Recent";
    case CSIDL_STARTMENU: return u"\\Windows\\Start Menu";
    case CSIDL_FONTS: return u"\\Windows\\Fonts";
    case CSIDL_APPDATA: return u"\\Application Data";
    case CSIDL_WINDOWS: return u"\\Windows";
    case CSIDL_PROGRAM_FILES: return u"\\Program Files";
    default: return nullptr;
  }
}

}  // namespace

extern "C" HRESULT SHGetMalloc(IMalloc** malloc) {
  if (!malloc) return E_INVALIDARG;
  *malloc = &g_malloc;
  return S_OK;
}

extern "C" HRESULT SHGetSpecialFolderLocation(HWND, int folder, ITEMIDLIST** list) {
  if (!list) return E_INVALIDARG;
  *list = nullptr;
  const char16_t* path = folder_path(folder);
  if (!path) return E_INVALIDARG;
  const size_t path_bytes = 2 * (std::char_traits<char16_t>::length(path) + 1);
  const WORD item_size = static_cast<WORD>(2 + path_bytes);
  uint8_t* bytes = static_cast<uint8_t*>(g_malloc.lpVtbl->Alloc(&g_malloc, item_size + 2u));
  if (!bytes) return E_OUTOFMEMORY;
  memcpy(bytes, &item_size, 2);
  memcpy(bytes + 2, path, path_bytes);
  memset(bytes + item_size, 0, 2);  // the closing zero size
  *list = reinterpret_cast<ITEMIDLIST*>(bytes);
  return S_OK;
}
