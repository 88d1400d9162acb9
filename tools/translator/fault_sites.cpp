// One-block loops whose frame store of a walking pointer can be left out.
//
// A loop such as a span fill (`add [eax], cl; inc eax; cmp edx, eax; jnz`)
// would store its pointer into the frame on every pass, only so that a
// fault reports it. When the only instruction of the block that can fault
// is a byte access at [base + disp], with the base register unchanged from
// the block's start up to it, the faulting address tells the base: the
// runtime sets it from the access violation's address (frame.cpp), and the
// jump back to the block's start stores the other registers only. A byte
// access faults at its own address, so nothing is off by a page crossing.
#include <Zydis/Zydis.h>

#include "translate.h"

namespace {

// Instructions whose one explicit memory operand is their only access.
bool plain_access(const Insn& in) {
  if (in.d.attributes & (ZYDIS_ATTRIB_HAS_LOCK | ZYDIS_ATTRIB_HAS_REP | ZYDIS_ATTRIB_HAS_REPE |
                         ZYDIS_ATTRIB_HAS_REPNE))
    return false;
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_MOV:
    case ZYDIS_MNEMONIC_MOVZX:
    case ZYDIS_MNEMONIC_MOVSX:
    case ZYDIS_MNEMONIC_ADD:
    case ZYDIS_MNEMONIC_ADC:
    case ZYDIS_MNEMONIC_SUB:
    case ZYDIS_MNEMONIC_SBB:
    case ZYDIS_MNEMONIC_AND:
    case ZYDIS_MNEMONIC_OR:
    case ZYDIS_MNEMONIC_XOR:
    case ZYDIS_MNEMONIC_CMP:
    case ZYDIS_MNEMONIC_TEST:
    case ZYDIS_MNEMONIC_INC:
    case ZYDIS_MNEMONIC_DEC:
    case ZYDIS_MNEMONIC_NEG:
    case ZYDIS_MNEMONIC_NOT:
      return true;
    default:
      return false;
  }
}

bool writes(const Insn& in, ZydisRegister r32) {
  for (unsigned i = 0; i < in.d.operand_count; i++) {
    const ZydisDecodedOperand& op = in.ops[i];
    if (op.type == ZYDIS_OPERAND_TYPE_REGISTER && (op.actions & ZYDIS_OPERAND_ACTION_MASK_WRITE) &&
        ZydisRegisterGetLargestEnclosing(ZYDIS_MACHINE_MODE_LEGACY_32, op.reg.value) == r32)
      return true;
  }
  return false;
}

// The site of the block of insns[first..last], or false.
bool site_of(const std::vector<const Insn*>& insns, size_t first, size_t last, FaultSite* site) {
  const Insn& branch = *insns[last];
  if (!is_relative_branch(branch) || branch_target(branch) != insns[first]->va) return false;
  if (branch.d.mnemonic != ZYDIS_MNEMONIC_JMP && branch.d.meta.category != ZYDIS_CATEGORY_COND_BR) return false;
  const Insn* access = nullptr;
  for (size_t k = first; k <= last; k++) {
    if (cannot_fault(*insns[k])) continue;
    if (access) return false;
    access = insns[k];
  }
  if (!access || !plain_access(*access)) return false;
  const ZydisDecodedOperand* mem = nullptr;
  for (unsigned i = 0; i < access->d.operand_count; i++) {
    const ZydisDecodedOperand& op = access->ops[i];
    if (op.type != ZYDIS_OPERAND_TYPE_MEMORY) continue;
    if (mem || op.visibility != ZYDIS_OPERAND_VISIBILITY_EXPLICIT) return false;
    mem = &op;
  }
  if (!mem || mem->size != 8 || mem->mem.index != ZYDIS_REGISTER_NONE ||
      (mem->mem.segment != ZYDIS_REGISTER_DS && mem->mem.segment != ZYDIS_REGISTER_SS))
    return false;
  // The runtime restores EAX to EDI (the stack registers have duties of their own).
  int part;
  if (!map_register(mem->mem.base, &site->base, &part) || part != 0 || site->base >= R_ESP) return false;
  for (size_t k = first; insns[k] != access; k++)
    if (writes(*insns[k], mem->mem.base)) return false;
  site->disp = static_cast<u32>(mem->mem.disp.value);
  site->relocated = access->reloc_disp;
  return true;
}

}  // namespace

std::map<u32, FaultSite> fault_sites(const ChunkPlan& chunk, const std::set<u32>& labels) {
  std::map<u32, FaultSite> sites;
  const std::vector<const Insn*>& insns = chunk.insns;
  for (size_t i = 0; i < insns.size(); i++) {
    if (!labels.count(insns[i]->va)) continue;
    size_t k = i;
    while (!ends_block(*insns[k])) {
      if (k + 1 == insns.size() || labels.count(insns[k + 1]->va) || insns[k]->next() != insns[k + 1]->va) break;
      k++;
    }
    FaultSite site;
    if (ends_block(*insns[k]) && site_of(insns, i, k, &site)) sites.emplace(insns[i]->va, site);
  }
  return sites;
}
