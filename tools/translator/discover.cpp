// Recursive-descent discovery of guest code.
#include <algorithm>
#include <vector>

#include "code_map.h"
#include "translate.h"

namespace {

bool ends_flow(const Insn& in) {
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_JMP:
    case ZYDIS_MNEMONIC_RET:
    case ZYDIS_MNEMONIC_HLT:
    case ZYDIS_MNEMONIC_UD2:
    case ZYDIS_MNEMONIC_INT3:
    case ZYDIS_MNEMONIC_IRETD:
    case ZYDIS_MNEMONIC_IRET:
      return true;
    default:
      return false;
  }
}

bool covers(u32 start, u32 len, u32 word_rva, u32 word_end) { return word_rva >= start && word_end <= start + len; }

// `jmp [table + index*4]` with an absolute table address: the table of
// the cases of a switch.
bool is_table_jump(const Insn& in) {
  const ZydisDecodedOperand& op = in.ops[0];
  return in.d.mnemonic == ZYDIS_MNEMONIC_JMP && op.type == ZYDIS_OPERAND_TYPE_MEMORY && in.reloc_disp &&
         op.mem.base == ZYDIS_REGISTER_NONE && op.mem.index != ZYDIS_REGISTER_NONE && op.mem.scale == 4 &&
         op.mem.segment != ZYDIS_REGISTER_FS && op.mem.segment != ZYDIS_REGISTER_GS;
}

// The cases of a `jmp [table + index*4]`: as many as the bound check before
// it allows (`cmp index, n` and `ja`/`jae` to the default), or, without
// one, the words from the table on that point into code (relocated ones,
// where the image has relocations).
void find_jump_tables(const PeImage& pe, CodeMap& map, const std::set<u32>& named) {
  const u32 base = pe.image_base;
  for (auto it = map.insns.begin(); it != map.insns.end(); ++it) {
    const Insn& in = it->second;
    const ZydisDecodedOperand& op = in.ops[0];
    if (!is_table_jump(in)) continue;
    const u32 table = static_cast<u32>(op.mem.disp.value);
    u32 bound = 1024;
    int guard_width = 0;
    if (it != map.insns.begin()) {
      auto ja = std::prev(it);
      if (ja->second.next() == in.va && ja != map.insns.begin()) {
        auto cmp = std::prev(ja);
        const Insn& j = ja->second;
        const Insn& c = cmp->second;
        if (c.next() == j.va && c.d.mnemonic == ZYDIS_MNEMONIC_CMP && j.d.meta.category == ZYDIS_CATEGORY_COND_BR)
          guard_width = c.d.operand_width;
        if (c.next() == j.va && c.d.mnemonic == ZYDIS_MNEMONIC_CMP && c.ops[0].type == ZYDIS_OPERAND_TYPE_REGISTER &&
            c.ops[0].reg.value == op.mem.index && c.ops[1].type == ZYDIS_OPERAND_TYPE_IMMEDIATE) {
          const u32 n = static_cast<u32>(c.ops[1].imm.value.u);
          if (j.d.mnemonic == ZYDIS_MNEMONIC_JNBE && n < 1024) bound = n + 1;
          if (j.d.mnemonic == ZYDIS_MNEMONIC_JNB && n <= 1024) bound = n;
        }
      }
    }
    JumpTable jt{table, {}, guard_width};
    for (u32 k = 0; k < bound; k++) {
      const u32 rva = table - base + 4 * k;
      if (!pe_fixed(pe) && !std::binary_search(pe.relocs.begin(), pe.relocs.end(), rva)) break;
      const u32 target = pe_word(pe, rva);
      if (!map.insns.count(target)) break;
      jt.targets.push_back(target);
    }
    if (jt.targets.empty()) continue;
    // Case blocks are parts of the function, not functions of their own.
    for (u32 t : jt.targets) {
      map.pointed.erase(t);
      if (!named.count(t)) map.functions.erase(t);
    }
    map.jump_tables.emplace(in.va, std::move(jt));
  }
  // A guarded jump that anything but its check's fall-through reaches.
  std::set<u32> reached;
  for (const auto& [va, in] : map.insns)
    if (const u32 t = branch_target(in)) reached.insert(t);
  for (const auto& [va, jt] : map.jump_tables) reached.insert(jt.targets.begin(), jt.targets.end());
  for (auto& [va, jt] : map.jump_tables)
    if (reached.count(va) || map.entries.count(va)) jt.guard_width = 0;
}

// The words of an image without base relocations that may be absolute
// addresses, as its relocations would have listed them, in the sections
// the program sees at run time (not the debug information). With `code`,
// those that depend on the instructions found so far: their address
// fields, the words of each switch table from where its jump names it
// (aligned or not), and every aligned word of a code section outside them;
// otherwise every aligned word of the other sections, found once.
std::vector<u32> unrelocated_words(const PeImage& pe, const CodeMap& map, bool code) {
  const u32 base = pe.image_base;
  std::vector<u32> words;
  if (code)
    for (const auto& [va, in] : map.insns) {
      if (in.reloc_disp) words.push_back(va - base + in.d.raw.disp.offset);
      if (in.reloc_imm) words.push_back(va - base + in.d.raw.imm[0].offset);
      if (!is_table_jump(in)) continue;
      for (u32 rva = static_cast<u32>(in.ops[0].mem.disp.value) - base, k = 0; k < 1024; k++, rva += 4) {
        const u32 v = pe_word(pe, rva) - base;
        if (v >= pe.image_size || !pe_is_code(pe, v)) break;
        words.push_back(rva);
      }
    }
  for (const PeSection& s : pe.sections) {
    if (s.code != code || !section_at_run_time(pe, s) || s.rva >= pe.image.size()) continue;
    const u32 end = s.rva + std::min(s.virtual_size, static_cast<u32>(pe.image.size()) - s.rva);
    for (u32 rva = s.rva; rva + 4 <= end; rva += 4) {
      if (pe_word(pe, rva) - base >= pe.image_size) continue;
      auto after = map.insns.upper_bound(base + rva);
      if (code && after != map.insns.begin() && std::prev(after)->second.next() > base + rva) continue;
      words.push_back(rva);
    }
  }
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

// An instruction is uncrossed when no jump inside a function passes over
// its start. A function's instructions are those its own flow reaches
// (fall-through, jumps, conditional branches and jump-table cases, not
// other function starts); only jumps within one consecutive piece of a
// function count, so a part the compiler moved away (a cold path after
// all other functions) does not hold everything in between together.
std::vector<u32> flow_owners(const CodeMap& map, const std::vector<u32>& order) {
  auto index_of = [&](u32 va) -> long {
    auto it = std::lower_bound(order.begin(), order.end(), va);
    return it != order.end() && *it == va ? it - order.begin() : -1;
  };
  std::vector<u32> owner(order.size(), 0);
  for (u32 f : map.functions) {
    std::vector<u32> work{f};
    while (!work.empty()) {
      const u32 va = work.back();
      work.pop_back();
      const long i = index_of(va);
      if (i < 0 || owner[i] || (va != f && map.functions.count(va))) continue;
      owner[i] = f;
      const Insn& in = map.insns.at(va);
      const ZydisMnemonic m = in.d.mnemonic;
      const u32 t = m == ZYDIS_MNEMONIC_CALL ? 0 : branch_target(in);
      if (t) work.push_back(t);
      auto table = map.jump_tables.find(va);
      if (table != map.jump_tables.end())
        for (u32 c : table->second.targets) work.push_back(c);
      if (m != ZYDIS_MNEMONIC_JMP && m != ZYDIS_MNEMONIC_RET && m != ZYDIS_MNEMONIC_HLT && m != ZYDIS_MNEMONIC_UD2 &&
          m != ZYDIS_MNEMONIC_INT3)
        work.push_back(in.next());
    }
  }
  return owner;
}

std::vector<u32> insn_order(const CodeMap& map) {
  std::vector<u32> order;
  order.reserve(map.insns.size());
  for (const auto& [va, in] : map.insns) order.push_back(va);
  return order;
}

void find_uncrossed(CodeMap& map) {
  const std::vector<u32> order = insn_order(map);
  auto index_of = [&](u32 va) -> long {
    auto it = std::lower_bound(order.begin(), order.end(), va);
    return it != order.end() && *it == va ? it - order.begin() : -1;
  };
  const std::vector<u32> owner = flow_owners(map, order);
  map.owner.clear();
  for (size_t i = 0; i < order.size(); i++)
    if (owner[i]) map.owner[order[i]] = owner[i];
  std::vector<u32> piece(order.size(), 0);
  for (size_t i = 1; i < order.size(); i++) piece[i] = piece[i - 1] + (owner[i] != owner[i - 1] ? 1 : 0);

  std::vector<int> delta(order.size() + 1, 0);
  auto edge = [&](u32 from, u32 to) {
    const long a = index_of(from), b = index_of(to);
    if (a < 0 || b < 0 || piece[a] != piece[b] || !owner[a]) return;
    // Crossed: every instruction after the lower end up to the higher.
    delta[std::min(a, b) + 1]++;
    delta[std::max(a, b) + 1]--;
  };
  for (const auto& [va, in] : map.insns) {
    if (in.d.mnemonic == ZYDIS_MNEMONIC_CALL) continue;
    const u32 t = branch_target(in);
    if (t && !map.functions.count(t)) edge(va, t);
  }
  for (const auto& [va, jt] : map.jump_tables)
    for (u32 t : jt.targets) edge(va, t);
  int depth = 0;
  for (size_t i = 0; i < order.size(); i++) {
    depth += delta[i];
    if (depth == 0) map.uncrossed.insert(order[i]);
  }
}

}  // namespace

void assign_owners(CodeMap& map) {
  const std::vector<u32> order = insn_order(map);
  const std::vector<u32> owner = flow_owners(map, order);
  map.owner.clear();
  for (size_t i = 0; i < order.size(); i++)
    if (owner[i]) map.owner[order[i]] = owner[i];
}

bool is_relative_branch(const Insn& in) {
  return in.d.meta.branch_type != ZYDIS_BRANCH_TYPE_NONE && in.d.operand_count_visible >= 1 &&
         in.ops[0].type == ZYDIS_OPERAND_TYPE_IMMEDIATE && in.ops[0].imm.is_relative;
}

u32 branch_target(const Insn& in) {
  if (!is_relative_branch(in)) return 0;
  const u32 t = static_cast<u32>(in.next() + static_cast<int64_t>(in.ops[0].imm.value.s));
  return in.d.operand_width == 16 ? t & 0xFFFF : t;  // the operand-size prefix cuts EIP
}

CodeMap discover_code(const PeImage& pe) {
  CodeMap map;
  ZydisDecoder decoder;
  ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  const u32 base = pe.image_base;
  std::vector<u32> work;
  std::set<u32> named;  // function starts named by the entry, an export or a call
  auto add_function = [&](u32 va) {
    if (!pe_is_code(pe, va - base)) return;
    named.insert(va);
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
  auto drain = [&]() {
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
        // relocation at the offset of its immediate or displacement; in an
        // image without them, by a value inside the image.
        auto relocated = [&](u32 offset, u32 size) {
          if (!offset || size != 32) return false;
          u32 at = rva + offset;
          if (pe_fixed(pe)) return pe_word(pe, at) - base < pe.image_size;
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
        if (ends_flow(in) || in.d.mnemonic == ZYDIS_MNEMONIC_CALL || in.d.meta.category == ZYDIS_CATEGORY_COND_BR)
          break;
        va = in.next();
      }
    }
  };
  drain();

  // Relocated words that point into code, by the rule of code_pointers.cpp.
  // Words inside decoded instructions are judged first, by their use; a
  // word is judged as a table word only when no new code came from the
  // others, so that code found later can still show it to be an operand.
  std::set<u32> judged;  // RVAs
  const std::vector<u32> data_words = pe_fixed(pe) ? unrelocated_words(pe, map, false) : std::vector<u32>{};
  while (true) {
    bool added = false;
    for (int tables = 0; tables < 2 && !added; tables++) {
      assign_owners(map);
      std::vector<u32> found;
      if (pe_fixed(pe)) {
        found = unrelocated_words(pe, map, true);
        found.insert(found.end(), data_words.begin(), data_words.end());
      }
      for (const u32 rva : pe_fixed(pe) ? found : pe.relocs) {
        if (judged.count(rva)) continue;
        const u32 v = pe_word(pe, rva);
        if (v - base >= pe.image_size || !pe_is_code(pe, v - base)) {
          judged.insert(rva);
          continue;
        }
        const WordUse use = relocated_word_use(map, base + rva);
        if (use == WordUse::kTable && !tables) continue;
        if (use == WordUse::kDataAccess) {
          judged.insert(rva);
          continue;
        }
        // A rejected word is judged again after new code is found: the
        // address may have become an instruction start since.
        if (!plausible_code(pe, map, v)) continue;
        judged.insert(rva);
        if (map.pointed.count(v)) continue;
        map.pointed.insert(v);
        map.functions.insert(v);
        map.entries.insert(v);
        work.push_back(v);
        added = true;
      }
    }
    if (!added) break;
    drain();
  }
  for (u32 e : map.entries) map.leaders.insert(e);
  find_jump_tables(pe, map, named);
  find_uncrossed(map);
  return map;
}
