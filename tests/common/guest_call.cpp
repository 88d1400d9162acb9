#include "guest_call.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "wce/device.h"
#include "wce/kernel.h"

GuestApi::GuestApi(const char* module_name, u32 base, std::vector<const char*> names, const char* dll)
    : module_name_(module_name), base_(base), dll_(dll), names_(std::move(names)) {}

static std::string key_of(const char* name) {
  u32 word = guest_addr(name);
  return word < 0x10000 ? "#" + std::to_string(word) : std::string(name);
}

void GuestApi::bind() {
  for (const char* n : names_) words_.push_back(guest_addr(n));
  words_.push_back(0);
  // The descriptor and its tables live as long as the registry keeps them.
  ImportDesc* imports = new ImportDesc[2]{{dll_, words_.data(), 0x1000}, {nullptr, nullptr, 0}};
  static ExportEntry no_exports[] = {{0, 0}};
  static const u32 no_relocs[] = {0};
  ModuleInfo* mi = new ModuleInfo{};
  mi->Base = base_;
  mi->Len = 0x1000 + ((4 * static_cast<u32>(words_.size()) + 0xFFF) & ~0xFFFu);
  mi->Name = module_name_;
  mi->Imports = imports;
  mi->Exports = no_exports;
  mi->Relocs = no_relocs;
  EXPECT_EQ(InitModule(mi, nullptr, 0), 1);
  for (size_t i = 0; i < names_.size(); i++) slots_[key_of(names_[i])] = guest_read32(mi->Base + 0x1000 + 4 * i);
}

u32 GuestApi::operator()(const char* name) {
  if (slots_.empty()) bind();
  auto it = slots_.find(key_of(name));
  if (it == slots_.end()) {
    ADD_FAILURE() << "the test does not import " << key_of(name);
    return NATIVE_TAG;
  }
  return it->second;
}

GuestCall::GuestCall(u32 target, const std::vector<u32>& args) {
  memset(&env, 0, sizeof env);
  env.EAX = 0xA5A5A5A5;
  env.EBX = 0x1B1B1B1B;
  env.ECX = 0x2C2C2C2C;
  env.EDX = 0x3D3D3D3D;
  env.ESI = 0x4E4E4E4E;
  env.EDI = 0x5F5F5F5F;
  env.EBP = 0x6A6A6A6A;
  env.EFLAGS = 0x0C85;
  u32 esp = guest_addr(stack) + 401;  // odd on purpose
  const std::vector<u32>& list = args;
  for (size_t i = list.size(); i-- > 0;) {
    esp -= 4;
    guest_write32(esp, list[i]);
  }
  esp -= 4;
  guest_write32(esp, kReturnAddress);
  env.ESP = esp;
  env.EIP = target;
  before = env;
  HandleDefault(&env, nullptr);
}

bool GuestCall::others_kept() const {
  return env.EBX == before.EBX && env.ECX == before.ECX && env.EDX == before.EDX && env.ESI == before.ESI &&
         env.EDI == before.EDI && env.EBP == before.EBP && env.EFLAGS == before.EFLAGS;
}

u32 guest_call(Env* env, const char* name, std::initializer_list<u32> args) {
  std::vector<u32> list(args);
  for (size_t i = list.size(); i-- > 0;) {
    env->ESP -= 4;
    guest_write32(env->ESP, list[i]);
  }
  env->ESP -= 4;
  guest_write32(env->ESP, kReturnAddress);
  u32 esp = env->ESP;
  env->EIP = api(name);
  HandleDefault(env, nullptr);
  EXPECT_EQ(env->EIP, kReturnAddress) << name;
  EXPECT_EQ(env->ESP, esp + 4 + 4 * list.size()) << name;
  return env->EAX;
}

std::string log_text() {
  std::ifstream in(device_root() + "/trevik.txt", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

u32 register_test_module(const char* name, DispatchFn dispatch, u32 handle) {
  ModuleInfo* module = new ModuleInfo{};  // the registry keeps it
  void* image = VirtualAlloc(nullptr, 0x10000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  module->Base = guest_addr(image);
  module->Len = 0x10000;
  module->Name = name;
  module->Dispatch = dispatch;
  EXPECT_EQ(InitModule(module, reinterpret_cast<HMODULE>(static_cast<uintptr_t>(handle)), 1), 1);
  return module->Base;
}
