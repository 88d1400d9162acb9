// Operands, frame stores and control transfers of generated code.
#include <algorithm>
#include <cstdio>

#include "emit.h"

const char* const kRegName[R_COUNT] = {"eax", "ebx", "ecx", "edx", "esi", "edi", "esp", "ebp"};

std::string hex(u32 v) {
  char b[16];
  snprintf(b, sizeof b, "0x%Xu", v);
  return b;
}

std::string mask_text(int width) { return width == 8 ? "0xFFu" : width == 16 ? "0xFFFFu" : "0xFFFFFFFFu"; }

std::string new_temp(Emitter& e) { return "t" + std::to_string(e.temp++); }

bool map_register(ZydisRegister r, Reg* reg, int* part) {
  switch (r) {
    case ZYDIS_REGISTER_EAX: *reg = R_EAX; *part = 0; return true;
    case ZYDIS_REGISTER_EBX: *reg = R_EBX; *part = 0; return true;
    case ZYDIS_REGISTER_ECX: *reg = R_ECX; *part = 0; return true;
    case ZYDIS_REGISTER_EDX: *reg = R_EDX; *part = 0; return true;
    case ZYDIS_REGISTER_ESI: *reg = R_ESI; *part = 0; return true;
    case ZYDIS_REGISTER_EDI: *reg = R_EDI; *part = 0; return true;
    case ZYDIS_REGISTER_ESP: *reg = R_ESP; *part = 0; return true;
    case ZYDIS_REGISTER_EBP: *reg = R_EBP; *part = 0; return true;
    case ZYDIS_REGISTER_AX: *reg = R_EAX; *part = 1; return true;
    case ZYDIS_REGISTER_BX: *reg = R_EBX; *part = 1; return true;
    case ZYDIS_REGISTER_CX: *reg = R_ECX; *part = 1; return true;
    case ZYDIS_REGISTER_DX: *reg = R_EDX; *part = 1; return true;
    case ZYDIS_REGISTER_SI: *reg = R_ESI; *part = 1; return true;
    case ZYDIS_REGISTER_DI: *reg = R_EDI; *part = 1; return true;
    case ZYDIS_REGISTER_SP: *reg = R_ESP; *part = 1; return true;
    case ZYDIS_REGISTER_BP: *reg = R_EBP; *part = 1; return true;
    case ZYDIS_REGISTER_AL: *reg = R_EAX; *part = 2; return true;
    case ZYDIS_REGISTER_BL: *reg = R_EBX; *part = 2; return true;
    case ZYDIS_REGISTER_CL: *reg = R_ECX; *part = 2; return true;
    case ZYDIS_REGISTER_DL: *reg = R_EDX; *part = 2; return true;
    case ZYDIS_REGISTER_AH: *reg = R_EAX; *part = 3; return true;
    case ZYDIS_REGISTER_BH: *reg = R_EBX; *part = 3; return true;
    case ZYDIS_REGISTER_CH: *reg = R_ECX; *part = 3; return true;
    case ZYDIS_REGISTER_DH: *reg = R_EDX; *part = 3; return true;
    default: return false;
  }
}

const char* reg_local32(ZydisRegister r) {
  Reg reg;
  int part;
  return map_register(r, &reg, &part) && part == 0 ? kRegName[reg] : nullptr;
}

std::string reg_read(Reg r, int part) {
  std::string n = kRegName[r];
  switch (part) {
    case 0: return n;
    case 1: return "(" + n + " & 0xFFFFu)";
    case 2: return "(" + n + " & 0xFFu)";
    default: return "((" + n + " >> 8) & 0xFFu)";
  }
}

void reg_write(Emitter& e, Reg r, int part, const std::string& v) {
  std::string n = kRegName[r];
  switch (part) {
    case 0: e.out += n + " = " + v + ";\n"; break;
    case 1: e.out += n + " = (" + n + " & 0xFFFF0000u) | ((" + v + ") & 0xFFFFu);\n"; break;
    case 2: e.out += n + " = (" + n + " & 0xFFFFFF00u) | ((" + v + ") & 0xFFu);\n"; break;
    default: e.out += n + " = (" + n + " & 0xFFFF00FFu) | (((" + v + ") & 0xFFu) << 8);\n"; break;
  }
  e.dirty |= 1u << r;
}

std::string effective_address(Emitter& e, const ZydisDecodedOperand& op, bool with_segment) {
  const ZydisDecodedOperandMem& m = op.mem;
  std::string s;
  Reg r;
  int part;
  if (m.base != ZYDIS_REGISTER_NONE) {
    if (!map_register(m.base, &r, &part) || part != 0) throw Unsupported{};
    s = kRegName[r];
  }
  if (m.index != ZYDIS_REGISTER_NONE) {
    if (!map_register(m.index, &r, &part) || part != 0) throw Unsupported{};
    std::string idx = kRegName[r];
    if (m.scale > 1) idx += " * " + std::to_string(m.scale) + "u";
    s += (s.empty() ? "" : " + ") + idx;
  }
  u32 disp = static_cast<u32>(m.disp.value);
  if (e.in->reloc_disp) {
    s += (s.empty() ? "" : " + ") + std::string("(fx + ") + hex(disp) + ")";
  } else if (disp || s.empty()) {
    if (!s.empty() && static_cast<int32_t>(disp) < 0 && static_cast<int32_t>(disp) > -0x10000)
      s += " - " + hex(0u - disp);
    else
      s += (s.empty() ? "" : " + ") + hex(disp);
  }
  if (with_segment) {
    if (m.segment == ZYDIS_REGISTER_FS)
      s = "x_fs() + " + s;
    else if (m.segment == ZYDIS_REGISTER_GS)
      throw Unsupported{};
  }
  return s;
}

// A 16-bit effective address (address-size prefix): BX or BP plus SI or DI
// plus a displacement, wrapped to 16 bits.
std::string address16(const ZydisDecodedOperandMem& m) {
  std::string s = "(" + hex(static_cast<u32>(m.disp.value));
  for (ZydisRegister r : {m.base, m.index}) {
    switch (r) {
      case ZYDIS_REGISTER_NONE: break;
      case ZYDIS_REGISTER_BX: s += " + (ebx & 0xFFFFu)"; break;
      case ZYDIS_REGISTER_BP: s += " + (ebp & 0xFFFFu)"; break;
      case ZYDIS_REGISTER_SI: s += " + (esi & 0xFFFFu)"; break;
      case ZYDIS_REGISTER_DI: s += " + (edi & 0xFFFFu)"; break;
      default: throw Unsupported{};
    }
  }
  return s + ") & 0xFFFFu";
}

Loc op_loc(Emitter& e, int index) {
  const ZydisDecodedOperand& op = e.in->ops[index];
  Loc l{};
  l.width = op.size;
  switch (op.type) {
    case ZYDIS_OPERAND_TYPE_REGISTER:
      l.kind = Loc::REG;
      if (!map_register(op.reg.value, &l.reg, &l.part)) throw Unsupported{};
      return l;
    case ZYDIS_OPERAND_TYPE_MEMORY: {
      if (op.mem.type != ZYDIS_MEMOP_TYPE_MEM) throw Unsupported{};
      l.kind = Loc::MEM;
      l.text = new_temp(e);
      if (e.in->d.address_width == 16) {
        // Below 64K, which the device never maps: faults as it would there.
        if (op.mem.segment == ZYDIS_REGISTER_FS || op.mem.segment == ZYDIS_REGISTER_GS) throw Unsupported{};
        e.out += "const u32 " + l.text + " = " + address16(op.mem) + ";\n";
        l.aligned = false;
        return l;
      }
      e.out += "const u32 " + l.text + " = " + effective_address(e, op, true) + ";\n";
      // Known 4-aligned: the guest stack pointer (taken to be aligned), an
      // index scaled by 4 or more and an aligned displacement; Fixup is a
      // multiple of the page size, so relocated displacements keep their
      // alignment.
      l.aligned = (op.mem.base == ZYDIS_REGISTER_NONE || op.mem.base == ZYDIS_REGISTER_ESP) &&
                  (op.mem.index == ZYDIS_REGISTER_NONE || op.mem.scale >= 4) &&
                  op.mem.segment != ZYDIS_REGISTER_FS && (op.mem.disp.value & 3) == 0;
      return l;
    }
    case ZYDIS_OPERAND_TYPE_IMMEDIATE: {
      l.kind = Loc::IMM;
      int w = e.in->d.operand_width;
      if (w != 8 && w != 16) w = 32;
      l.width = w;
      u32 v = static_cast<u32>(op.imm.value.u);
      if (e.in->reloc_imm && index == e.in->d.operand_count_visible - 1)
        l.text = "(fx + " + hex(v) + ")";
      else
        l.text = hex(w == 32 ? v : v & (w == 8 ? 0xFF : 0xFFFF));
      return l;
    }
    default:
      throw Unsupported{};
  }
}

std::string op_read(Emitter&, const Loc& l) {
  switch (l.kind) {
    case Loc::REG: return reg_read(l.reg, l.part);
    case Loc::IMM: return l.text;
    default:
      if (l.width == 8) return "m8(" + l.text + ")";
      if (l.width == 16) return "m16(" + l.text + ")";
      if (l.width == 32) return (l.aligned ? "m32a(" : "m32(") + l.text + ")";
      throw Unsupported{};
  }
}

void op_write(Emitter& e, const Loc& l, const std::string& v) {
  switch (l.kind) {
    case Loc::REG: reg_write(e, l.reg, l.part, v); return;
    case Loc::MEM:
      if (l.width == 8)
        e.out += "s8(" + l.text + ", " + v + ");\n";
      else if (l.width == 16)
        e.out += "s16(" + l.text + ", " + v + ");\n";
      else if (l.width == 32)
        e.out += std::string(l.aligned ? "s32a(" : "s32(") + l.text + ", " + v + ");\n";
      else
        throw Unsupported{};
      return;
    default: throw Unsupported{};
  }
}

void emit_pending_flags(Emitter& e) {
  e.out += e.pending_flags;
  e.pending_flags.clear();
}

std::string flag_stores(unsigned flags) {
  std::string out;
  if (flags & D_CF) out += "F->cf = fl.cf;\n";
  if (flags & D_OF) out += "F->of = fl.of;\n";
  if (flags & D_SZP) out += "F->sf = fl.sf; F->zf = fl.zf; F->pf = fl.pf;\n";
  return out;
}

std::string target_flag_stores(const Emitter& e, u32 target, unsigned flags) {
  auto live = e.flags_live->find(target);
  return flag_stores(flags & (live == e.flags_live->end() ? D_FLAGS : live->second));
}

unsigned label_dirty(const Emitter& e, u32 va) {
  auto carried = e.flags_carried->find(va), stored = e.flags_live->find(va);
  if (carried == e.flags_carried->end() || stored == e.flags_live->end()) return 0;
  return carried->second & ~stored->second & D_FLAGS;
}

namespace {

void store_dirty(Emitter& e) {
  if (e.dirty & D_FLAGS) emit_pending_flags(e);
  for (int r = 0; r < R_COUNT; r++)
    if (e.dirty & (1u << r)) e.out += std::string("F->") + kRegName[r] + " = " + kRegName[r] + ";\n";
  e.out += flag_stores(e.dirty);
  if (e.dirty & D_DF) e.out += "F->df = df;\n";
}

// On an edge to the label `target`: the flag values the target carries
// are computed into the locals, those it reads stay changed (to be
// stored), the others are dropped.
void edge_flags(Emitter& e, u32 target) {
  auto carried = e.flags_carried->find(target);
  if (carried == e.flags_carried->end()) return;
  if (e.dirty & carried->second & D_FLAGS) emit_pending_flags(e);
  e.dirty &= ~(D_FLAGS & ~e.flags_live->at(target));
}

}  // namespace

void emit_sync(Emitter& e) {
  store_dirty(e);
  e.dirty = 0;
}

void drop_unread_exit_flags(Emitter& e) { e.dirty &= ~(D_FLAGS & ~exit_flags_at(*e.map, *e.exits, *e.in)); }

void emit_exit(Emitter& e, const std::string& eip_rel, const char* stop, const std::string& before) {
  // The frame holds what the block has not changed: a flag the block did
  // not set is dead here, was stored on the way into the block, or counts
  // as changed from the block's start (label_dirty). Of those, the way out
  // stores what an entry may read (ExitFlags).
  const unsigned keep = e.dirty;
  drop_unread_exit_flags(e);
  store_dirty(e);
  e.dirty = keep;
  e.out += "F->eip_rel = " + eip_rel + ";\n" + before + "return " + stop + ";\n";
}

void emit_leave_at(Emitter& e, u32 guest) {
  emit_exit(e, hex(guest), "kChunkLeft");
  e.dirty = 0;
}

unsigned self_edge_unstored(const Emitter& e) {
  if (!e.block_va) return 0;
  auto site = e.fault_sites->find(e.block_va);
  return site == e.fault_sites->end() ? 0 : 1u << site->second.base;
}

void emit_goto(Emitter& e, u32 target) {
  if (e.labels->count(target)) {
    // Flag values the target sets before reading need not be stored.
    edge_flags(e, target);
    if (target == e.block_va) e.dirty &= ~self_edge_unstored(e);
    emit_sync(e);
    // Every way into a label stores its address as EIP, and nothing inside
    // a block changes the stored EIP: a jump back to the block's own start
    // finds it there already.
    // A block that cannot fault needs no EIP in the frame at all.
    if (target != e.block_va && !e.eip_free->count(target)) e.out += "F->eip_rel = " + hex(target) + ";\n";
    e.out += "goto L_" + std::to_string(target) + ";\n";
  } else if (target >= e.chunk->start && target < e.chunk->end) {
    emit_exit(e, hex(target), "kChunkMissed");
    e.dirty = 0;
  } else if (auto ref = e.entry_refs->find(target); ref != e.entry_refs->end()) {
    // Another chunk goes on with the same guest call.
    drop_unread_exit_flags(e);
    emit_sync(e);
    e.out += "F->eip_rel = " + hex(target) + ";\nreturn chunk_jump(F, " + ref->second.body + ", " +
             std::to_string(ref->second.slot) + ");\n";
  } else {
    emit_leave_at(e, target);
  }
}

void emit_likely(Emitter& e, const std::vector<u32>& targets) { emit_likely_flags(e, targets, 0); }

std::string target_jump(const Emitter& e, u32 t, unsigned flags, bool eip) {
  std::string stores = target_flag_stores(e, t, flags);
  if (eip && !e.eip_free->count(t)) stores += "F->eip_rel = " + hex(t) + ";\n";
  return "if (rel == " + hex(t) + ") {\n" + stores + "goto L_" + std::to_string(t) + ";\n}\n";
}

void emit_target_tree(Emitter& e, const std::vector<u32>& v, size_t lo, size_t hi, unsigned flags, bool eip) {
  if (hi - lo <= 2) {
    for (size_t i = lo; i < hi; i++) e.out += target_jump(e, v[i], flags, eip);
    return;
  }
  const size_t mid = (lo + hi) / 2;
  e.out += "if (rel < " + hex(v[mid]) + ") {\n";
  emit_target_tree(e, v, lo, mid, flags, eip);
  e.out += "} else {\n";
  emit_target_tree(e, v, mid, hi, flags, eip);
  e.out += "}\n";
}

void emit_likely_flags(Emitter& e, const std::vector<u32>& targets, unsigned flags) {
  if (targets.empty()) return;
  // Compared in the module's own numbering: constants, not Fixup sums.
  e.out += "{\nconst u32 rel = eip - fx;\n";
  if (targets.size() < 4) {
    for (u32 t : targets) e.out += target_jump(e, t, flags, true);
  } else {
    std::vector<u32> sorted = targets;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    emit_target_tree(e, sorted, 0, sorted.size(), flags, true);
  }
  e.out += "}\n";
}

std::string foreign_target(const Emitter& e) {
  return "eip - fx - " + hex(e.pe->image_base) + " >= " + hex(e.pe->image_size) + " && chunk_room(F)";
}

void emit_host_call(Emitter& e, u32 direct_target, u32 return_va) {
  // Inside the chunk a call is a jump; the callee's RET tries this call's
  // return address among its likely targets.
  if (direct_target && e.labels->count(direct_target)) {
    emit_goto(e, direct_target);
    return;
  }
  // Through a pointer: the flag values go into the frame on each way out,
  // each likely target storing only those it reads.
  // (A pending compare was computed before the CALL began.)
  const unsigned flags = direct_target ? 0 : e.dirty & D_FLAGS;
  e.dirty &= ~flags;
  drop_unread_exit_flags(e);
  emit_sync(e);
  std::string body, slot;
  if (direct_target) {
    auto ref = e.entry_refs->find(direct_target);
    if (ref == e.entry_refs->end()) {
      emit_goto(e, direct_target);
      return;
    }
    body = ref->second.body;
    slot = std::to_string(ref->second.slot);
    e.out += "F->eip_rel = " + hex(direct_target) + ";\neip = fx + " + hex(direct_target) + ";\n{\n";
  } else {
    emit_likely_flags(e, *e.pointed_here, flags);
    e.out += "F->eip_rel = eip - fx;\n" + flag_stores(flags & exit_flags_at(*e.map, *e.exits, *e.in));
    e.out += "{\nconst ChunkEntry* x = chunk_entry(F, eip - fx);\nif (x) {\n";
    e.out += "if (x->chunk == " + std::to_string(e.chunk->index) + ") { slot = x->slot; goto enter_loaded; }\n";
    body = "x->body";
    slot = "x->slot";
  }
  // After the host call every register is in the frame. The guest call
  // returned when the callee's RET matched; otherwise the look-up decides.
  e.out += "stop = chunk_call(F, " + body + ", " + slot + ", " + hex(return_va) + ", esp);\n";
  if (e.labels->count(return_va))
    e.out += "if (stop == kChunkReturned) {\nX_RELOAD();\ngoto L_" + std::to_string(return_va) + ";\n}\n";
  e.out += "if (stop >= 0) goto resume;\n";
  if (!direct_target) {
    e.out += "}\n";
    // Outside the module (an import, another module): called from here.
    e.out += "else if (" + foreign_target(e) + ") {\nchunk_call_foreign(F);\n";
    if (e.labels->count(return_va))
      e.out += "if (F->eip_rel == " + hex(return_va) + " && F->esp <= F->ret_esp) {\nX_RELOAD();\ngoto L_" +
               std::to_string(return_va) + ";\n}\n";
    e.out += "eip = F->eip_rel + fx;\n}\n";
  }
  e.out += "}\n";
  // No room for another host call: on in this chunk or through the dispatcher.
  if (direct_target)
    emit_goto(e, direct_target);
  else
    e.out += "goto lookup;\n";
}

void emit_lookup(Emitter& e) {
  drop_unread_exit_flags(e);
  emit_sync(e);
  e.out += "goto lookup;\n";
}

void emit_untranslated(Emitter& e) {
  char name[64];
  const bool far = e.in->d.meta.branch_type == ZYDIS_BRANCH_TYPE_FAR;
  snprintf(name, sizeof name, "%s%s", far ? "far " : "", ZydisMnemonicGetString(e.in->d.mnemonic));
  (*e.untranslated)[name]++;
  e.out += "// not translated\n";
  emit_exit(e, hex(e.in->va), "kChunkMissed");
  e.dirty = 0;
}

int condition_of(ZydisMnemonic m) {
  switch (m) {
    case ZYDIS_MNEMONIC_JO: case ZYDIS_MNEMONIC_SETO: case ZYDIS_MNEMONIC_CMOVO: return 0;
    case ZYDIS_MNEMONIC_JNO: case ZYDIS_MNEMONIC_SETNO: case ZYDIS_MNEMONIC_CMOVNO: return 1;
    case ZYDIS_MNEMONIC_JB: case ZYDIS_MNEMONIC_SETB: case ZYDIS_MNEMONIC_CMOVB: return 2;
    case ZYDIS_MNEMONIC_JNB: case ZYDIS_MNEMONIC_SETNB: case ZYDIS_MNEMONIC_CMOVNB: return 3;
    case ZYDIS_MNEMONIC_JZ: case ZYDIS_MNEMONIC_SETZ: case ZYDIS_MNEMONIC_CMOVZ: return 4;
    case ZYDIS_MNEMONIC_JNZ: case ZYDIS_MNEMONIC_SETNZ: case ZYDIS_MNEMONIC_CMOVNZ: return 5;
    case ZYDIS_MNEMONIC_JBE: case ZYDIS_MNEMONIC_SETBE: case ZYDIS_MNEMONIC_CMOVBE: return 6;
    case ZYDIS_MNEMONIC_JNBE: case ZYDIS_MNEMONIC_SETNBE: case ZYDIS_MNEMONIC_CMOVNBE: return 7;
    case ZYDIS_MNEMONIC_JS: case ZYDIS_MNEMONIC_SETS: case ZYDIS_MNEMONIC_CMOVS: return 8;
    case ZYDIS_MNEMONIC_JNS: case ZYDIS_MNEMONIC_SETNS: case ZYDIS_MNEMONIC_CMOVNS: return 9;
    case ZYDIS_MNEMONIC_JP: case ZYDIS_MNEMONIC_SETP: case ZYDIS_MNEMONIC_CMOVP: return 10;
    case ZYDIS_MNEMONIC_JNP: case ZYDIS_MNEMONIC_SETNP: case ZYDIS_MNEMONIC_CMOVNP: return 11;
    case ZYDIS_MNEMONIC_JL: case ZYDIS_MNEMONIC_SETL: case ZYDIS_MNEMONIC_CMOVL: return 12;
    case ZYDIS_MNEMONIC_JNL: case ZYDIS_MNEMONIC_SETNL: case ZYDIS_MNEMONIC_CMOVNL: return 13;
    case ZYDIS_MNEMONIC_JLE: case ZYDIS_MNEMONIC_SETLE: case ZYDIS_MNEMONIC_CMOVLE: return 14;
    case ZYDIS_MNEMONIC_JNLE: case ZYDIS_MNEMONIC_SETNLE: case ZYDIS_MNEMONIC_CMOVNLE: return 15;
    default: return -1;
  }
}

std::string condition_text(Emitter& e, int cc) {
  // Straight after a CMP the condition is a comparison of its operands,
  // which the host compiler turns into one compare and branch.
  if (e.last_cmp) {
    std::string w = std::to_string(e.last_cmp->d.operand_width);
    std::string sa = "x_sx<" + w + ">(ca)", sb = "x_sx<" + w + ">(cb)";
    switch (cc) {
      case 2: return "ca < cb";
      case 3: return "ca >= cb";
      case 4: return "ca == cb";
      case 5: return "ca != cb";
      case 6: return "ca <= cb";
      case 7: return "ca > cb";
      case 12: return sa + " < " + sb;
      case 13: return sa + " >= " + sb;
      case 14: return sa + " <= " + sb;
      case 15: return sa + " > " + sb;
      default: break;
    }
  }
  static const char* const kText[16] = {
      "fl.of != 0", "fl.of == 0", "fl.cf != 0", "fl.cf == 0", "fl.zf == 0", "fl.zf != 0",
      "(fl.cf != 0 || fl.zf == 0)", "(fl.cf == 0 && fl.zf != 0)", "fl.sf < 0", "fl.sf >= 0",
      "kParity[fl.pf & 0xFF] != 0", "kParity[fl.pf & 0xFF] == 0", "((fl.sf < 0) != (fl.of != 0))",
      "((fl.sf < 0) == (fl.of != 0))", "(fl.zf == 0 || (fl.sf < 0) != (fl.of != 0))",
      "(fl.zf != 0 && (fl.sf < 0) == (fl.of != 0))"};
  emit_pending_flags(e);
  return kText[cc];
}

bool leaves_compare(const Insn& in) {
  switch (in.d.mnemonic) {
    case ZYDIS_MNEMONIC_MOV:
    case ZYDIS_MNEMONIC_MOVZX:
    case ZYDIS_MNEMONIC_MOVSX:
    case ZYDIS_MNEMONIC_LEA:
    case ZYDIS_MNEMONIC_NOP:
      break;
    default:
      return false;
  }
  // General registers and memory only (no segment or control register).
  for (int i = 0; i < in.d.operand_count_visible; i++) {
    if (in.ops[i].type != ZYDIS_OPERAND_TYPE_REGISTER) continue;
    const ZydisRegisterClass c = ZydisRegisterGetClass(in.ops[i].reg.value);
    if (c != ZYDIS_REGCLASS_GPR8 && c != ZYDIS_REGCLASS_GPR16 && c != ZYDIS_REGCLASS_GPR32) return false;
  }
  return true;
}

bool emit_instruction(Emitter& e) {
  // Only a conditional jump can take its condition from a CMP's operands,
  // which moves between the two leave in place.
  if (!(e.in->d.meta.category == ZYDIS_CATEGORY_COND_BR && condition_of(e.in->d.mnemonic) >= 0) &&
      !(e.last_cmp && leaves_compare(*e.in)))
    emit_pending_flags(e);
  size_t mark = e.out.size();
  unsigned dirty = e.dirty;
  int temp = e.temp;
  const std::string pending = e.pending_flags;
  try {
    e.out += "{\n";
    if (emit_system(e) || emit_locked(e) || emit_alu(e) || emit_flow(e) || emit_x87_p6(e) || emit_misc(e)) {
      e.out += "}\n";
      return true;
    }
  } catch (const Unsupported&) {
  }
  e.out.resize(mark);
  e.dirty = dirty;
  e.temp = temp;
  e.pending_flags = pending;
  emit_untranslated(e);
  return false;
}
