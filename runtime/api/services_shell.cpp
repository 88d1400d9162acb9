// The shell's allocator and special folders for the guest. The guest gets
// an IMalloc of its own whose method table holds tagged handler addresses,
// so a call through it comes back here through HandleDefault and never
// jumps into host code; each method passes on to the device's allocator.
#include "handler.h"
#include "wce/shell.h"

using services::pass_through;

namespace {

IMalloc* g_device_malloc;  // set by the first successful SHGetMalloc

// The guest-visible object: one word, the guest address of the table.
struct GuestMalloc {
  u32 methods;
};
u32 g_methods[9];
GuestMalloc g_guest_malloc;

// QueryInterface(this, riid, ppv): the guest's own object for the
// interfaces the device's allocator answers to.
void malloc_query_interface(Env* env) {
  const u32 out = arg(env, 3);
  void* object = nullptr;
  HRESULT result = out ? g_device_malloc->lpVtbl->QueryInterface(g_device_malloc, arg_as<const void*>(env, 2), &object)
                       : E_INVALIDARG;
  if (out) guest_write32(out, result == S_OK ? guest_addr(&g_guest_malloc) : 0);
  guest_return_value(env, static_cast<u32>(result), 3);
}

void malloc_add_ref(Env* env) { guest_return_value(env, g_device_malloc->lpVtbl->AddRef(g_device_malloc), 1); }
void malloc_release(Env* env) { guest_return_value(env, g_device_malloc->lpVtbl->Release(g_device_malloc), 1); }

void malloc_alloc(Env* env) {
  guest_return_value(env, guest_addr(g_device_malloc->lpVtbl->Alloc(g_device_malloc, arg(env, 2))), 2);
}

void malloc_realloc(Env* env) {
  void* block = g_device_malloc->lpVtbl->Realloc(g_device_malloc, arg_as<void*>(env, 2), arg(env, 3));
  guest_return_value(env, guest_addr(block), 3);
}

// Free and HeapMinimize have no result: EAX stays as it was.
void malloc_free(Env* env) {
  g_device_malloc->lpVtbl->Free(g_device_malloc, arg_as<void*>(env, 2));
  guest_return(env, 2);
}

void malloc_get_size(Env* env) {
  guest_return_value(env, g_device_malloc->lpVtbl->GetSize(g_device_malloc, arg_as<void*>(env, 2)), 2);
}

void malloc_did_alloc(Env* env) {
  const int answer = g_device_malloc->lpVtbl->DidAlloc(g_device_malloc, arg_as<void*>(env, 2));
  guest_return_value(env, static_cast<u32>(answer), 2);
}

void malloc_heap_minimize(Env* env) {
  g_device_malloc->lpVtbl->HeapMinimize(g_device_malloc);
  guest_return(env, 1);
}

u32 tagged(NativeHandler handler) { return guest_addr(reinterpret_cast<const void*>(handler)) | NATIVE_TAG; }

// SHGetMalloc(ppMalloc): the device's allocator behind the guest's object.
void sh_get_malloc(Env* env) {
  const u32 out = arg(env, 1);
  IMalloc* device = nullptr;
  const HRESULT result = SHGetMalloc(out ? &device : nullptr);
  if (result == S_OK) {
    if (!g_device_malloc) {
      static const NativeHandler kMethods[9] = {malloc_query_interface, malloc_add_ref, malloc_release,
                                                malloc_alloc,           malloc_realloc, malloc_free,
                                                malloc_get_size,        malloc_did_alloc, malloc_heap_minimize};
      for (u32 i = 0; i < 9; i++) g_methods[i] = tagged(kMethods[i]);
      g_guest_malloc.methods = guest_addr(g_methods);
    }
    g_device_malloc = device;
    guest_write32(out, guest_addr(&g_guest_malloc));
  }
  guest_return_value(env, static_cast<u32>(result), 1);
}

}  // namespace

extern const ApiEntry kShellApis[] = {
    {"SHGetMalloc", sh_get_malloc},
    {"SHGetSpecialFolderLocation", pass_through<SHGetSpecialFolderLocation>},
    {nullptr, nullptr},
};
