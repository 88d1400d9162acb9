// Recursive-descent discovery of guest code.
#include <vector>

#include "code_map.h"

namespace {

bool ends_flow(const Insn& in) {
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_JMP:
    case ZYDIS_MNEMONIC_RET:
    case ZYDIS_MNEMONIC_HLT:
    case ZYDIS_MNEMONIC_UD2:
    case ZYDIS_MNEMONIC_INT3:
      return true;
    default:
      return false;
  }
}

bool covers(u32 start, u32 len, u32 word_rva, u32 word_end) { return word_rva >= start && word_end <= start + len; }

}  // namespace

bool is_relative_branch(const Insn& in) {
  return in.d.meta.branch_type != ZYDIS_BRANCH_TYPE_NONE && in.d.operand_count_visible >= 1 &&
         in.ops[0].type == ZYDIS_OPERAND_TYPE_IMMEDIATE && in.ops[0].imm.is_relative;
}

u32 branch_target(const Insn& in) {
  if (!is_relative_branch(in)) return 0;
  return static_cast<u32>(in.next() + static_cast<int64_t>(in.ops[0].imm.value.s));
}

CodeMap discover_code(const PeImage& pe) {
  CodeMap map;
  ZydisDecoder decoder;
  ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  const u32 base = pe.image_base;
  std::vector<u32> work;
  auto add_function = [&](u32 va) {
    if (!pe_is_code(pe, va - base)) return;
    map.functions.insert(va);
    map.entries.insert(va);
    work.push_back(va);
  };
  auto add_entry = [&](u32 va) {
    if (!pe_is_code(pe, va - base)) return;
    map.entries.insert(va);
    work.push_back(va);
  };
  auto add_leader = [&](u32 va) {
    if (!pe_is_code(pe, va - base)) return;
    map.leaders.insert(va);
    work.push_back(va);
  };

  if (pe.entry_rva) add_function(base + pe.entry_rva);
  for (const PeExport& e : pe.exports) add_function(base + e.rva);
  for (u32 rva : pe.relocs) {
    u32 v = pe_word(pe, rva);
    if (v - base < pe.image_size) add_function(v);
  }

  while (!work.empty()) {
    u32 va = work.back();
    work.pop_back();
    while (true) {
      if (map.insns.count(va) || map.bad.count(va)) break;
      u32 rva = va - base;
      const PeSection* s = pe_section_at(pe, rva);
      if (!s || !s->code) {
        map.bad.insert(va);
        break;
      }
      Insn in{};
      in.va = va;
      u32 avail = s->rva + s->virtual_size - rva;
      if (ZYAN_FAILED(ZydisDecoderDecodeFull(&decoder, &pe.image[rva], avail, &in.d, in.ops))) {
        map.bad.insert(va);
        break;
      }
      // An absolute guest address in the instruction is marked by a base
      // relocation at the offset of its immediate or displacement.
      auto relocated = [&](u32 offset, u32 size) {
        if (!offset || size != 32) return false;
        u32 at = rva + offset;
        auto it = std::lower_bound(pe.relocs.begin(), pe.relocs.end(), at);
        return it != pe.relocs.end() && *it == at && covers(rva, in.d.length, at, at + 4);
      };
      in.reloc_disp = relocated(in.d.raw.disp.offset, in.d.raw.disp.size);
      in.reloc_imm = relocated(in.d.raw.imm[0].offset, in.d.raw.imm[0].size);
      map.insns.emplace(va, in);
      if (is_relative_branch(in)) {
        u32 t = branch_target(in);
        if (in.d.mnemonic == ZYDIS_MNEMONIC_CALL) {
          add_function(t);
        } else {
          add_entry(t);
          map.leaders.insert(t);
        }
      }
      if (in.d.mnemonic == ZYDIS_MNEMONIC_CALL) {
        add_entry(in.next());  // the return address
      } else if (in.d.meta.category == ZYDIS_CATEGORY_COND_BR) {
        add_leader(in.next());
      }
      if (ends_flow(in) || in.d.mnemonic == ZYDIS_MNEMONIC_CALL || in.d.meta.category == ZYDIS_CATEGORY_COND_BR) break;
      va = in.next();
    }
  }
  for (u32 e : map.entries) map.leaders.insert(e);
  return map;
}
