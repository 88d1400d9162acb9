// The registry's contents and the journal that keeps them. Key paths are
// root and subkeys joined by '\' ("HKLM\Software\Game"); lookups ignore
// case, stored names keep the spelling of their first writer.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "wce/registry.h"

struct RegValue {
  std::u16string name;
  DWORD type;
  std::string data;
};

struct RegKeyNode {
  std::u16string path;
  std::map<std::u16string, RegValue> values;  // by folded name
};

struct RegTree {
  std::map<std::u16string, RegKeyNode> keys;  // by folded path
};

// The paths of the four predefined keys, in the order of their handles
// (HKEY_CLASSES_ROOT + i); they always exist.
extern const char16_t* const kRegRoots[4];
void reg_add_roots(RegTree& tree);

std::u16string reg_fold(const std::u16string& text);
// Applies a change to the tree (idempotent: replaying it again is harmless).
void reg_apply_key(RegTree& tree, const std::u16string& path);
void reg_apply_value(RegTree& tree, const std::u16string& path, const std::u16string& name, DWORD type,
                     const std::string& data);

// One record of the journal.
struct RegRecord {
  enum Op : uint8_t { kKey = 1, kValue = 2 } op;
  std::u16string path;
  std::u16string name;
  DWORD type;
  std::string data;
};

// The journal: the caller holds reg_store_lock() for each of these.
// Brings `tree` up to date with the file (replaying what other processes
// appended) under a shared or an exclusive file lock, which stays held
// until reg_journal_unlock. ERROR_SUCCESS, or the Win32 error a caller
// reports (the lock is not held then). When the file cannot be used at all
// the tree serves the session from memory and this succeeds.
LONG reg_journal_lock(RegTree& tree, bool exclusive);
void reg_journal_unlock();
// Appends a record and makes it durable before applying it to `tree`; the
// lock must be exclusive. ERROR_DISK_FULL or ERROR_REGISTRY_IO_FAILED when
// it was not stored (in memory only, the tree has it nonetheless).
LONG reg_journal_append(RegTree& tree, const RegRecord& record);

// The process's view of the registry and the lock that guards it.
RegTree& reg_tree();
std::mutex& reg_store_lock();
