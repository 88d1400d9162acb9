// Splitting guest code into chunks and writing each chunk as one host
// function: register slots in locals, the entry switch and the look-up,
// blocks.
#include <Zydis/Zydis.h>

#include <algorithm>
#include <cstdio>

#include "translate.h"

// Whether an instruction can neither fault nor reach anything that reports
// the frame's EIP while it runs: register arithmetic, moves, compares and
// relative jumps, with no memory operand other than an address computation.
bool cannot_fault(const Insn& in) {
  for (unsigned i = 0; i < in.d.operand_count; i++)
    if (in.ops[i].type == ZYDIS_OPERAND_TYPE_MEMORY && in.ops[i].mem.type != ZYDIS_MEMOP_TYPE_AGEN) return false;
  if (in.d.meta.isa_ext != ZYDIS_ISA_EXT_BASE) return false;
  switch (in.d.meta.category) {
    case ZYDIS_CATEGORY_BINARY:
      return in.d.mnemonic != ZYDIS_MNEMONIC_DIV && in.d.mnemonic != ZYDIS_MNEMONIC_IDIV;
    case ZYDIS_CATEGORY_LOGICAL:
    case ZYDIS_CATEGORY_SHIFT:
    case ZYDIS_CATEGORY_ROTATE:
    case ZYDIS_CATEGORY_BITBYTE:
    case ZYDIS_CATEGORY_CMOV:
    case ZYDIS_CATEGORY_SETCC:
    case ZYDIS_CATEGORY_NOP:
    case ZYDIS_CATEGORY_COND_BR:
      return true;
    case ZYDIS_CATEGORY_DATAXFER:
    case ZYDIS_CATEGORY_MISC:  // LEA
      return in.d.mnemonic == ZYDIS_MNEMONIC_MOV || in.d.mnemonic == ZYDIS_MNEMONIC_MOVZX ||
             in.d.mnemonic == ZYDIS_MNEMONIC_MOVSX || in.d.mnemonic == ZYDIS_MNEMONIC_XCHG ||
             in.d.mnemonic == ZYDIS_MNEMONIC_LEA;
    case ZYDIS_CATEGORY_UNCOND_BR:
      return is_relative_branch(in);
    default:
      return false;
  }
}

bool ends_block(const Insn& in) {
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_JMP:
    case ZYDIS_MNEMONIC_RET:
    case ZYDIS_MNEMONIC_CALL:
    case ZYDIS_MNEMONIC_HLT:
    case ZYDIS_MNEMONIC_INT3:
    case ZYDIS_MNEMONIC_UD2:
      return true;
    default:
      return in.d.meta.category == ZYDIS_CATEGORY_COND_BR;
  }
}

namespace {

std::string label(u32 va) { return "L_" + std::to_string(va); }

// The jump to the label of v[slot]: one indirect jump through a table of
// the labels' offsets from the first (assemble-time constants, so the
// table is read-only data and needs no relocation).
void emit_slot_jump(std::string& out, const std::vector<u32>& v) {
  if (v.empty()) {
    out += "return kChunkMissed;\n";
    return;
  }
  const std::string base = "(char*)&&" + label(v[0]);
  out += "{\nstatic const int kSlotAt[] = {";
  for (u32 va : v) out += "(int)((char*)&&" + label(va) + " - " + base + "),\n";
  out += "};\nif (slot >= " + std::to_string(v.size()) + ") return kChunkMissed;\ngoto *(" + base +
         " + kSlotAt[slot]);\n}\n";
}

}  // namespace

std::string disassemble(const Insn& in) {
  static ZydisFormatter formatter;
  static bool ready = false;
  if (!ready) {
    ZydisFormatterInit(&formatter, ZYDIS_FORMATTER_STYLE_INTEL);
    ready = true;
  }
  char text[256];
  if (ZYAN_FAILED(ZydisFormatterFormatInstruction(&formatter, &in.d, in.ops, in.d.operand_count_visible, text,
                                                  sizeof text, in.va, nullptr)))
    return "?";
  std::string s = text;
  for (char& c : s)
    if (c == '\\' || c == '\n') c = ' ';
  return s;
}

std::vector<ChunkPlan> plan_chunks(const PeImage& pe, const CodeMap& map, u32 limit) {
  std::vector<ChunkPlan> chunks;
  const std::map<u32, u32> group_ends = recursion_group_ends(map);
  for (const PeSection& s : pe.sections) {
    if (!s.code) continue;
    const u32 start = pe.image_base + s.rva, end = start + s.virtual_size;
    ChunkPlan cur{start, end, {}, {}, 0};
    u32 group_end = 0;  // the chunk's functions recurse through functions up to here
    for (auto it = map.insns.lower_bound(start); it != map.insns.end() && it->first < end; ++it) {
      const u32 va = it->first;
      const size_t n = cur.insns.size();
      // Only where no jump of a function crosses: a switch's cases stay
      // with the switch, and a function over the limit is cut only
      // between its parts. Nor, below four times the limit, inside a
      // group of functions that recurse through each other.
      const bool cut = map.uncrossed.count(va) &&
                       ((n >= limit && map.functions.count(va) && va > group_end) ||
                        (n >= 4 * limit && map.leaders.count(va)));
      if (cut) {
        cur.end = va;
        chunks.push_back(cur);
        cur = ChunkPlan{va, end, {}, {}, 0};
        group_end = 0;
      }
      if (auto g = group_ends.find(va); g != group_ends.end()) group_end = std::max(group_end, g->second);
      cur.insns.push_back(&it->second);
    }
    if (!cur.insns.empty()) chunks.push_back(cur);
  }
  for (ChunkPlan& c : chunks) {
    c.index = static_cast<u32>(&c - chunks.data());
    char name[32];
    snprintf(name, sizeof name, "chunk_%08X", c.start);
    c.name = name;
  }
  return chunks;
}

std::string entry_body_name(const ChunkPlan& chunk) { return chunk.name + "_at"; }

EntryRefs entry_refs(const CodeMap& map, const std::vector<ChunkPlan>& chunks) {
  EntryRefs refs;
  for (const ChunkPlan& c : chunks) {
    u32 slot = 0;
    for (auto it = map.entries.lower_bound(c.start); it != map.entries.end() && *it < c.end; ++it)
      if (map.insns.count(*it)) refs[*it] = EntryRef{entry_body_name(c), slot++, c.index};
  }
  return refs;
}

void emit_chunk(const PeImage& pe, const CodeMap& map, const EntryRefs& refs, const ExitFlags& exits,
                const ChunkPlan& chunk, std::string& out, std::map<std::string, int>& untranslated,
                std::string& fault_rows) {
  // Labels: block leaders, and fall-through targets that are not written
  // straight after their predecessor.
  std::set<u32> labels;
  for (size_t i = 0; i < chunk.insns.size(); i++) {
    const Insn& in = *chunk.insns[i];
    if (map.leaders.count(in.va)) labels.insert(in.va);
    const bool adjacent = i + 1 < chunk.insns.size() && chunk.insns[i + 1]->va == in.next();
    if (!ends_block(in) && !adjacent && map.insns.count(in.next()) && in.next() >= chunk.start &&
        in.next() < chunk.end)
      labels.insert(in.next());
  }
  const std::string body = entry_body_name(chunk);

  // Likely targets of this chunk's returns and indirect calls (see Emitter),
  // found by a tree of compares: up to 128 direct call sites of a function
  // for its returns (a recursive function that gcc unrolled calls itself
  // from 88 places), 12 function pointers or indirect call sites, which
  // every indirect call or return of a pointed-to function tries.
  constexpr size_t kMostReturns = 128, kMostLikely = 12;
  std::map<u32, std::vector<u32>> returns_of;
  std::vector<u32> indirect_returns, pointed_here;
  for (const Insn* in : chunk.insns) {
    if (in->d.mnemonic != ZYDIS_MNEMONIC_CALL || !labels.count(in->next())) continue;
    if (const u32 t = branch_target(*in)) {
      std::vector<u32>& r = returns_of[t];
      if (r.size() < kMostReturns) r.push_back(in->next());
    } else if (indirect_returns.size() < kMostLikely) {
      indirect_returns.push_back(in->next());
    }
  }
  for (auto it = map.pointed.lower_bound(chunk.start); it != map.pointed.end() && *it < chunk.end; ++it) {
    if (!labels.count(*it)) continue;
    if (pointed_here.size() < kMostLikely) pointed_here.push_back(*it);
    std::vector<u32>& r = returns_of[*it];
    for (u32 ret : indirect_returns)
      if (r.size() < kMostReturns) r.push_back(ret);
  }

  // Blocks that cannot fault: nothing reads the EIP in the frame while
  // they run (every way out stores its own), so the edges into them store
  // none. Nor any flag: such a block is never run again from the frame
  // after a fault, and the flags its successors read are stored by the
  // edges into them, or by the way out that leaves with them (they count
  // as changed from the block's start, label_dirty).
  std::set<u32> eip_free;
  std::map<u32, unsigned> flags_live = flag_liveness(map, chunk, ExitFlags{});
  for (size_t i = 0; i < chunk.insns.size(); i++) {
    if (!labels.count(chunk.insns[i]->va)) continue;
    bool free = true;
    for (size_t k = i; free && k < chunk.insns.size(); k++) {
      const Insn& in = *chunk.insns[k];
      if (k > i && (labels.count(in.va) || chunk.insns[k - 1]->next() != in.va)) break;
      free = cannot_fault(in);
      if (ends_block(in)) break;
    }
    if (!free) continue;
    eip_free.insert(chunk.insns[i]->va);
    flags_live.at(chunk.insns[i]->va) &= ~D_FLAGS;
  }

  const std::map<u32, unsigned> flags_carried = flag_liveness(map, chunk, exits);
  const std::map<u32, FaultSite> sites = fault_sites(chunk, labels);
  for (const auto& [va, site] : sites)
    fault_rows += "    {" + hex(va) + ", " + hex(site.disp) + ", " + std::to_string(site.base) + ", " +
                  (site.relocated ? "1" : "0") + "},\n";
  Emitter e{};
  e.fault_sites = &sites;
  e.flags_live = &flags_live;
  e.flags_carried = &flags_carried;
  e.entry_refs = &refs;
  e.exits = &exits;
  e.returns_of = &returns_of;
  e.pointed_here = &pointed_here;
  e.pe = &pe;
  e.map = &map;
  e.chunk = &chunk;
  e.labels = &labels;
  e.eip_free = &eip_free;
  e.untranslated = &untranslated;
  e.out.reserve(chunk.insns.size() * 200);
  // The route's body, for the dispatcher, enters by the frame's EIP.
  e.out += "bool " + chunk.name + "(ChunkFrame* F) {\nF->entries = g_chunk_entries;\nF->entry_shift = g_chunk_entry_shift;\n"
           "return " + body + "(F, kSlotByEip) == kChunkMissed;\n}\n";
  e.out += "XCHUNK int " + body + "(ChunkFrame* F, u32 slot) {\n";
  // The locals are loaded from the frame wherever control enters by a
  // slot or the look-up, and the frame holds the guest state at every way
  // out: no local is live across either, so only what the guest code
  // itself keeps live competes for host registers.
  e.out +=
      "u32 eax, ebx, ecx, edx, esi, edi, esp, ebp, eip;\n"
      "XFlags fl;\n"
      "i32 df;\n"
      // A module without relocations is never moved: the loader keeps it
      // at its preferred base even when that range was taken. Its absolute
      // addresses are then constants, and no host register holds the fixup.
      + std::string(pe_fixed(pe) ? "const u32 fx = 0;\n" : "const u32 fx = F->fixup;\n") +
      "u32 ca = 0, cb = 0;\n"
      "(void)ca; (void)cb;\n"
      "int stop = 0;\n"
      "if (slot != kSlotByEip) goto enter;\n"
      "eip = F->eip_rel + fx;\n"
      // After a host call that did not end in its guest call's return.
      "if (false) {\nresume:\nif (stop == kChunkMissed) return kChunkMissed;\neip = F->eip_rel + fx;\n}\n"
      // The general path, with the frame holding every register and flag.
      // ESP above the host call's guest call means that call is over; its
      // host caller looks the address up.
      "lookup:\n"
      "F->eip_rel = eip - fx;\n"
      "if (eip == RETURN_SENTINEL || F->esp > F->ret_esp) return kChunkLeft;\n"
      "{\nconst ChunkEntry* x = chunk_entry(F, eip - fx);\n"
      "if (!x) return eip - fx - " + hex(chunk.start) + " < " + hex(chunk.end - chunk.start) +
      " ? kChunkMissed : kChunkLeft;\n"
      "if (x->chunk != " + std::to_string(chunk.index) + ") return chunk_jump(F, x->body, x->slot);\n"
      "slot = x->slot;\n}\n"
      "enter:\n"
      "X_RELOAD();\n"
      // An indirect call into this chunk comes here with the locals current.
      "enter_loaded:\n";
  std::vector<u32> slot_labels;
  for (auto it = refs.lower_bound(chunk.start); it != refs.end() && it->first < chunk.end; ++it)
    slot_labels.push_back(it->first);
  emit_slot_jump(e.out, slot_labels);

  // A block that is no entry (every jump target is one) is entered only by
  // the fall-through of the conditional jump before it: a compare before
  // that jump still decides the block's own conditions.
  const Insn* branch_cmp = nullptr;  // the CMP of the conditional jump just written

  bool falls = false;
  for (size_t i = 0; i < chunk.insns.size(); i++) {
    const Insn& in = *chunk.insns[i];
    const bool after_branch = branch_cmp && chunk.insns[i - 1]->next() == in.va && !map.entries.count(in.va);
    if (labels.count(in.va)) {
      if (falls) {
        if (e.dirty & flags_carried.at(in.va) & D_FLAGS) emit_pending_flags(e);
        e.dirty &= ~(D_FLAGS & ~flags_live.at(in.va));
        emit_sync(e);
        if (!eip_free.count(in.va)) e.out += "F->eip_rel = " + hex(in.va) + ";\n";
      }
      e.out += label(in.va) + ":\n";
      e.dirty = label_dirty(e, in.va);
      e.last_cmp = after_branch ? branch_cmp : nullptr;
      e.pending_flags.clear();
      e.block_va = in.va;
    } else if (!falls) {
      e.block_va = 0;
    }
    const size_t run = x87_run_length(e, chunk.insns, i);
    if (run >= 2) {
      // x87 instructions read and set no flag and never end a block.
      emit_pending_flags(e);
      emit_x87_run(e, &chunk.insns[i], run);
      i += run - 1;
      e.last_cmp = branch_cmp = nullptr;
      const Insn& last = *chunk.insns[i];
      falls = true;
      if (!(i + 1 < chunk.insns.size() && chunk.insns[i + 1]->va == last.next())) {
        emit_goto(e, last.next());
        falls = false;
      }
      continue;
    }
    e.out += "// " + disassemble(in) + "\n";
    e.in = &in;
    const bool failed = !emit_instruction(e);
    branch_cmp = !failed && e.last_cmp && in.d.meta.category == ZYDIS_CATEGORY_COND_BR &&
                         condition_of(in.d.mnemonic) >= 0
                     ? e.last_cmp
                     : nullptr;
    if (failed)
      e.last_cmp = nullptr;
    else if (in.d.mnemonic == ZYDIS_MNEMONIC_CMP)
      e.last_cmp = &in;
    else if (!leaves_compare(in))
      e.last_cmp = nullptr;
    falls = !failed && !ends_block(in);
    const bool adjacent = i + 1 < chunk.insns.size() && chunk.insns[i + 1]->va == in.next();
    if (falls && !adjacent) {
      emit_goto(e, in.next());
      falls = false;
    }
  }
  e.out += "return kChunkLeft;  // not reached: every block ends in a transfer\n}\n\n";
  out += e.helpers;
  out += e.out;
}
