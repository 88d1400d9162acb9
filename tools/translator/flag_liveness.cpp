// Which flag values each instruction of a chunk may still need. With the
// module's ExitFlags every way out of the chunk's known flow (a return, an
// indirect transfer, a call's return through the look-up) reads what it
// stores: the values the locals must carry. With ExitFlags{} only the
// chunk's own instructions read them: the values a block edge stores into
// the frame (the ways out store what they carry themselves).
#include "emit.h"
#include "translate.h"

namespace {

unsigned condition_uses(int cc) {
  static const unsigned kUses[16] = {D_OF, D_OF, D_CF, D_CF, D_SZP, D_SZP, D_CF | D_SZP, D_CF | D_SZP,
                                     D_SZP, D_SZP, D_SZP, D_SZP, D_SZP | D_OF, D_SZP | D_OF, D_SZP | D_OF,
                                     D_SZP | D_OF};
  return kUses[cc];
}

// Flag groups an instruction reads and those it always sets.
void uses_defs(const Insn& in, unsigned* use, unsigned* def) {
  *use = 0;
  *def = 0;
  const ZydisMnemonic m = in.d.mnemonic;
  const int cc = condition_of(m);
  if (cc >= 0) {
    *use = condition_uses(cc);
    return;
  }
  switch (m) {
    case ZYDIS_MNEMONIC_ADD: case ZYDIS_MNEMONIC_SUB: case ZYDIS_MNEMONIC_CMP: case ZYDIS_MNEMONIC_AND:
    case ZYDIS_MNEMONIC_OR: case ZYDIS_MNEMONIC_XOR: case ZYDIS_MNEMONIC_TEST: case ZYDIS_MNEMONIC_NEG:
    case ZYDIS_MNEMONIC_IMUL: case ZYDIS_MNEMONIC_MUL: case ZYDIS_MNEMONIC_XADD: case ZYDIS_MNEMONIC_CMPXCHG:
      *def = D_FLAGS | D_AF;  // AF undefined after IMUL and MUL
      return;
    case ZYDIS_MNEMONIC_ADC: case ZYDIS_MNEMONIC_SBB:
      *use = D_CF;
      *def = D_FLAGS | D_AF;
      return;
    case ZYDIS_MNEMONIC_INC: case ZYDIS_MNEMONIC_DEC:
      *def = D_OF | D_SZP | D_AF;
      return;
    case ZYDIS_MNEMONIC_SHL: case ZYDIS_MNEMONIC_SHR: case ZYDIS_MNEMONIC_SAR: case ZYDIS_MNEMONIC_SHLD:
    case ZYDIS_MNEMONIC_SHRD: {
      // A count of 0 changes nothing: only a non-zero immediate count sets.
      const ZydisDecodedOperand& c = in.ops[in.d.operand_count_visible - 1];
      if (in.d.operand_count_visible == 1 ||
          (c.type == ZYDIS_OPERAND_TYPE_IMMEDIATE && (c.imm.value.u & 31) != 0))
        *def = D_FLAGS | D_AF;  // AF undefined
      return;
    }
    case ZYDIS_MNEMONIC_ROL: case ZYDIS_MNEMONIC_ROR:
      return;
    case ZYDIS_MNEMONIC_RCL: case ZYDIS_MNEMONIC_RCR: case ZYDIS_MNEMONIC_CMC:
      *use = D_CF;
      return;
    case ZYDIS_MNEMONIC_CLC: case ZYDIS_MNEMONIC_STC: case ZYDIS_MNEMONIC_BT: case ZYDIS_MNEMONIC_BTS:
    case ZYDIS_MNEMONIC_BTR: case ZYDIS_MNEMONIC_BTC:
      *def = D_CF;
      return;
    case ZYDIS_MNEMONIC_SAHF:
      *def = D_CF | D_SZP | D_AF;
      return;
    case ZYDIS_MNEMONIC_POPFD: case ZYDIS_MNEMONIC_POPF:
      *def = D_FLAGS | D_AF;
      return;
    case ZYDIS_MNEMONIC_LAHF: case ZYDIS_MNEMONIC_PUSHFD: case ZYDIS_MNEMONIC_PUSHF:
      *use = D_FLAGS | D_AF;
      return;
    case ZYDIS_MNEMONIC_LOOPE: case ZYDIS_MNEMONIC_LOOPNE:
      *use = D_SZP;
      return;
    // The decimal adjusts leave OF (and AAA/AAS SF, ZF, PF) undefined.
    case ZYDIS_MNEMONIC_DAA: case ZYDIS_MNEMONIC_DAS: case ZYDIS_MNEMONIC_AAA: case ZYDIS_MNEMONIC_AAS:
      *use = D_CF | D_AF;
      *def = D_FLAGS | D_AF;
      return;
    // The P6 compares set ZF, PF and CF and clear OF, SF and AF (unless
    // abandoned: flag_liveness).
    case ZYDIS_MNEMONIC_FCOMI: case ZYDIS_MNEMONIC_FUCOMI: case ZYDIS_MNEMONIC_FCOMIP:
    case ZYDIS_MNEMONIC_FUCOMIP:
      *def = D_FLAGS | D_AF;
      return;
    case ZYDIS_MNEMONIC_FCMOVB: case ZYDIS_MNEMONIC_FCMOVNB:
      *use = D_CF;
      return;
    case ZYDIS_MNEMONIC_FCMOVBE: case ZYDIS_MNEMONIC_FCMOVNBE:
      *use = D_CF | D_SZP;
      return;
    case ZYDIS_MNEMONIC_FCMOVE: case ZYDIS_MNEMONIC_FCMOVNE: case ZYDIS_MNEMONIC_FCMOVU:
    case ZYDIS_MNEMONIC_FCMOVNU:
      *use = D_SZP;
      return;
    case ZYDIS_MNEMONIC_SALC:
      *use = D_CF;
      return;
    case ZYDIS_MNEMONIC_BSF: case ZYDIS_MNEMONIC_BSR: case ZYDIS_MNEMONIC_TZCNT: case ZYDIS_MNEMONIC_LZCNT:
      *def = D_SZP;
      return;
    case ZYDIS_MNEMONIC_MOV: case ZYDIS_MNEMONIC_MOVZX: case ZYDIS_MNEMONIC_MOVSX: case ZYDIS_MNEMONIC_LEA:
    case ZYDIS_MNEMONIC_PUSH: case ZYDIS_MNEMONIC_POP: case ZYDIS_MNEMONIC_NOT: case ZYDIS_MNEMONIC_XCHG:
    case ZYDIS_MNEMONIC_BSWAP: case ZYDIS_MNEMONIC_CDQ: case ZYDIS_MNEMONIC_CWDE: case ZYDIS_MNEMONIC_CBW:
    case ZYDIS_MNEMONIC_CWD: case ZYDIS_MNEMONIC_NOP: case ZYDIS_MNEMONIC_LEAVE: case ZYDIS_MNEMONIC_ENTER:
    case ZYDIS_MNEMONIC_JMP: case ZYDIS_MNEMONIC_CALL: case ZYDIS_MNEMONIC_DIV: case ZYDIS_MNEMONIC_IDIV:
    case ZYDIS_MNEMONIC_JECXZ: case ZYDIS_MNEMONIC_LOOP: case ZYDIS_MNEMONIC_CLD: case ZYDIS_MNEMONIC_STD:
    case ZYDIS_MNEMONIC_PUSHAD: case ZYDIS_MNEMONIC_POPAD: case ZYDIS_MNEMONIC_XLAT: case ZYDIS_MNEMONIC_CPUID:
    case ZYDIS_MNEMONIC_RDTSC: case ZYDIS_MNEMONIC_FWAIT:
      return;
    // The six flags are read by the way out (the exits' share of the
    // liveness); AF stays in the locals for a return inside the chunk.
    case ZYDIS_MNEMONIC_RET:
      *use = D_AF;
      return;
    default:
      // The runtime's x87 called directly touches no flag; a string
      // instruction reads none (it reads DF), and a compare or scan may
      // leave them as they were (a count of zero).
      if (x87_direct(in) || in.d.meta.category == ZYDIS_CATEGORY_STRINGOP) return;
      // Anything else (prefixed x87, what is not translated) may read
      // every flag; x87 and MMX are given the six flags only and leave AF
      // as it was.
      *use = D_FLAGS;
      if (in.d.meta.isa_ext != ZYDIS_ISA_EXT_X87 && in.d.meta.isa_ext != ZYDIS_ISA_EXT_MMX) *use |= D_AF;
      return;
  }
}

}  // namespace

bool jump_table_keeps_flags(const CodeMap& map, const Insn& in) {
  return map.leaders.count(in.va) && !map.entries.count(in.va);
}

unsigned exit_flags_at(const CodeMap& map, const ExitFlags& x, const Insn& in) {
  if (in.d.mnemonic == ZYDIS_MNEMONIC_RET) {
    auto owner = map.owner.find(in.va);
    if (owner != map.owner.end() && x.exported.count(owner->second)) return D_FLAGS;
  }
  return x.any;
}

std::map<u32, unsigned> flag_liveness(const CodeMap& map, const ChunkPlan& chunk, const ExitFlags& exits) {
  const size_t n = chunk.insns.size();
  std::map<u32, size_t> index;
  for (size_t i = 0; i < n; i++) index[chunk.insns[i]->va] = i;
  // abandoned: what an x87 instruction the runtime abandoned leaves with
  // (it set nothing then).
  std::vector<unsigned> use(n), def(n), live(n, 0), leaving(n), abandoned(n, 0);
  std::vector<std::vector<long>> succ(n);  // -1: leaves the chunk's known flow
  for (size_t i = 0; i < n; i++) {
    const Insn& in = *chunk.insns[i];
    uses_defs(in, &use[i], &def[i]);
    leaving[i] = exit_flags_at(map, exits, in);
    if (x87_direct(in)) abandoned[i] = leaving[i];
    auto add = [&](u32 target) {
      auto it = index.find(target);
      succ[i].push_back(it == index.end() ? -1 : static_cast<long>(it->second));
    };
    const ZydisMnemonic m = in.d.mnemonic;
    auto table = map.jump_tables.find(in.va);
    if (table != map.jump_tables.end() && jump_table_keeps_flags(map, in)) {
      for (u32 t : table->second.targets) add(t);
      continue;
    }
    if (m == ZYDIS_MNEMONIC_RET || (!is_relative_branch(in) && (m == ZYDIS_MNEMONIC_JMP || m == ZYDIS_MNEMONIC_CALL))) {
      succ[i].push_back(-1);
    } else if (is_relative_branch(in)) {
      add(branch_target(in));
      if (m != ZYDIS_MNEMONIC_JMP && m != ZYDIS_MNEMONIC_CALL) add(in.next());
      if (m == ZYDIS_MNEMONIC_CALL) succ[i].push_back(-1);  // the callee returns through the look-up
    } else {
      add(in.next());
    }
  }
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t k = n; k-- > 0;) {
      unsigned out = 0;
      // AF is not kept through the look-up (returns, indirect jumps): a
      // decimal adjust follows its arithmetic within one function.
      for (long s : succ[k]) out |= s < 0 ? leaving[k] : live[s];
      unsigned in = use[k] | (out & ~def[k]) | abandoned[k];
      if (in != live[k]) {
        live[k] = in;
        changed = true;
      }
    }
  }
  std::map<u32, unsigned> result;
  for (size_t i = 0; i < n; i++) result[chunk.insns[i]->va] = live[i];
  return result;
}

ExitFlags module_exit_flags(const PeImage& pe, const CodeMap& map, const std::vector<ChunkPlan>& chunks,
                            const EntryRefs& refs) {
  ExitFlags x;
  for (const PeExport& p : pe.exports) x.exported.insert(pe.image_base + p.rva);
  for (const ChunkPlan& c : chunks) {
    const std::map<u32, unsigned> live = flag_liveness(map, c, ExitFlags{});
    for (auto it = refs.lower_bound(c.start); it != refs.end() && it->first < c.end; ++it) {
      auto at = live.find(it->first);
      if (at != live.end()) x.any |= at->second & D_FLAGS;
    }
  }
  return x;
}
