// Control transfer and the guest stack: jumps, calls, returns, loops,
// pushes and pops, frames.
#include <algorithm>

#include "emit.h"
#include "translate.h"

namespace {

void push(Emitter& e, const std::string& value) {
  e.out += "esp -= 4; s32a(esp, " + value + ");\n";
  e.dirty |= 1u << R_ESP;
}

// The target of an indirect jump or call, read before the stack moves.
std::string indirect_target(Emitter& e) {
  Loc t = op_loc(e, 0);
  if (t.width != 32) throw Unsupported{};
  e.out += "const u32 target = " + op_read(e, t) + ";\n";
  return "target";
}


// `jmp [table + index*4]`: the jump goes where the live word says, to the
// case block the image's entry named when the word still names it, anywhere
// else (a table the program rewrote) the general way.
void jump_table(Emitter& e, const JumpTable& table) {
  Loc t = op_loc(e, 0);
  if (t.kind != Loc::MEM || t.width != 32) throw Unsupported{};
  e.out += "eip = " + op_read(e, t) + ";\n";
  // A block of its own reached only from this chunk: its locals hold the
  // flag values its cases carry, and no case reads one that the edges
  // into it did not store; the way to the look-up stores them all.
  // Otherwise the flag values go into the frame on the way to the look-up,
  // each case storing only those it reads.
  const bool keeps = jump_table_keeps_flags(*e.map, *e.in);
  const unsigned flags = keeps ? 0 : e.dirty & D_FLAGS;
  e.dirty &= ~D_FLAGS;
  emit_sync(e);
  e.out += "{\nconst u32 rel = eip - fx;\nF->eip_rel = rel;\n";
  // Over the index register, a host switch (gcc's jump table over the
  // cases: one indexed jump, as the guest's own), then one compare of the
  // live word with the block the image's entry named. Without a register
  // index, a tree of compares over the case blocks.
  if (const char* index = reg_local32(e.in->ops[0].mem.index)) {
    e.out += std::string("switch (") + index + ") {\n";
    for (size_t k = 0; k < table.targets.size(); k++) {
      if (!e.labels->count(table.targets[k])) continue;
      e.out += "case " + std::to_string(k) + ":\n" + target_jump(e, table.targets[k], flags, false) + "break;\n";
    }
    e.out += "default:\nbreak;\n}\n";
  } else {
    std::vector<u32> cases;
    for (u32 target : table.targets)
      if (e.labels->count(target)) cases.push_back(target);
    std::sort(cases.begin(), cases.end());
    cases.erase(std::unique(cases.begin(), cases.end()), cases.end());
    emit_target_tree(e, cases, 0, cases.size(), flags, false);
  }
  e.out += "}\n";
  e.dirty |= flags;
  if (keeps) {
    // The flags are the bound check's: computed again here from its
    // operands, so that the way to the cases needs none of them.
    if (table.guard_width)
      e.out += "x_sub<" + std::to_string(table.guard_width) + ", false>(fl, ca, cb);\n";
    e.dirty |= D_FLAGS;
  }
  emit_lookup(e);
}

}  // namespace

// A conditional branch on C++ text: registers stored once for both
// edges, flags per edge, as each target needs.
void emit_conditional(Emitter& e, const std::string& cond) {
  const u32 taken = branch_target(*e.in), fall = e.in->next();
  const unsigned flags = e.dirty & D_FLAGS;
  const std::string pending = e.pending_flags;
  // A one-block loop's base register is stored on the way out only.
  const bool loops = taken == e.block_va || fall == e.block_va;
  const unsigned base = loops ? e.dirty & self_edge_unstored(e) : 0;
  e.dirty &= ~(D_FLAGS | base);
  emit_sync(e);
  e.out += "if (" + cond + ") {\n";
  e.dirty = flags | (taken == e.block_va ? 0 : base);
  emit_goto(e, taken);
  e.out += "}\n";
  e.dirty = flags | (fall == e.block_va ? 0 : base);
  e.pending_flags = pending;
  emit_goto(e, fall);
}

bool emit_flow(Emitter& e) {
  const Insn& in = *e.in;
  const ZydisMnemonic m = in.d.mnemonic;
  switch (m) {
    case ZYDIS_MNEMONIC_JMP:
      if (is_relative_branch(in)) {
        emit_goto(e, branch_target(in));
      } else {
        if (in.ops[0].type == ZYDIS_OPERAND_TYPE_POINTER) return false;
        auto table = e.map->jump_tables.find(in.va);
        if (table != e.map->jump_tables.end()) {
          jump_table(e, table->second);
        } else {
          e.out += "eip = " + indirect_target(e) + ";\n";
          drop_unread_exit_flags(e);
          emit_sync(e);
          // A jump out of the module (an import thunk's `jmp [slot]`) is a
          // call made for the caller: when the caller was the host call's
          // guest call, its return comes back here as that call's return.
          e.out += "if (" + foreign_target(e) + ") {\nF->eip_rel = eip - fx;\nconst u32 top = esp;\nchunk_call_foreign(F);\n"
                   "if (F->eip_rel == F->ret_rel && top == F->ret_esp) return kChunkReturned;\nX_RELOAD();\n";
          auto owner = e.map->owner.find(in.va);
          if (owner != e.map->owner.end()) {
            auto likely = e.returns_of->find(owner->second);
            if (likely != e.returns_of->end()) emit_likely(e, likely->second);
          }
          e.out += "}\n";
          emit_lookup(e);
        }
      }
      return true;
    case ZYDIS_MNEMONIC_CALL:
      if (is_relative_branch(in)) {
        push(e, "fx + " + hex(in.next()));
        emit_host_call(e, branch_target(in), in.next());
      } else {
        if (in.ops[0].type == ZYDIS_OPERAND_TYPE_POINTER) return false;
        std::string t = indirect_target(e);
        push(e, "fx + " + hex(in.next()));
        e.out += "eip = " + t + ";\n";
        emit_host_call(e, 0, in.next());
      }
      return true;
    case ZYDIS_MNEMONIC_RET: {
      if (in.d.operand_width != 32) return false;
      u32 n = in.d.operand_count_visible ? static_cast<u32>(in.ops[0].imm.value.u) : 0;
      // The RET of the guest call a host call stands for returns to the
      // host caller; any other (a rewritten return address, a RET at
      // another depth) goes the general way.
      e.out += "const u32 at = esp;\neip = m32a(esp); esp += " + hex(4 + n) + ";\n";
      e.dirty |= 1u << R_ESP;
      // The flag values go into the frame on the ways out; a return to a
      // call site of this chunk stores only those its code reads.
      // (A pending compare was computed before this instruction began.)
      const unsigned flags = e.dirty & D_FLAGS;
      e.dirty &= ~flags;
      emit_sync(e);
      // The call sites of this chunk first: a return address of one of them
      // is never the host call's, which lies in another chunk.
      auto owner = e.map->owner.find(in.va);
      if (owner != e.map->owner.end()) {
        auto likely = e.returns_of->find(owner->second);
        if (likely != e.returns_of->end()) emit_likely_flags(e, likely->second, flags);
      }
      e.out += "F->eip_rel = eip - fx;\n" + flag_stores(flags & exit_flags_at(*e.map, *e.exits, in)) + "if (eip - fx == F->ret_rel && at == F->ret_esp) return kChunkReturned;\n";
      emit_lookup(e);
      return true;
    }
    case ZYDIS_MNEMONIC_LOOP:
    case ZYDIS_MNEMONIC_LOOPE:
    case ZYDIS_MNEMONIC_LOOPNE: {
      if (in.d.address_width != 32) return false;
      e.out += "ecx -= 1;\n";
      e.dirty |= 1u << R_ECX;
      std::string cond = "ecx != 0";
      if (m == ZYDIS_MNEMONIC_LOOPE) cond += " && fl.zf == 0";
      if (m == ZYDIS_MNEMONIC_LOOPNE) cond += " && fl.zf != 0";
      emit_conditional(e, cond);
      return true;
    }
    case ZYDIS_MNEMONIC_JECXZ: emit_conditional(e, "ecx == 0"); return true;
    case ZYDIS_MNEMONIC_JCXZ: emit_conditional(e, "(ecx & 0xFFFFu) == 0"); return true;
    case ZYDIS_MNEMONIC_PUSH: {
      if (in.d.operand_width != 32 && in.d.operand_width != 16) return false;
      Loc s = op_loc(e, 0);
      e.out += "const u32 v = " + op_read(e, s) + ";\n";
      if (in.d.operand_width == 16) {
        e.out += "esp -= 2; s16(esp, v);\n";
        e.dirty |= 1u << R_ESP;
      } else {
        push(e, "v");
      }
      return true;
    }
    case ZYDIS_MNEMONIC_POP: {
      if (in.d.operand_width != 32 && in.d.operand_width != 16) return false;
      // The address of a memory destination is formed after ESP moves.
      if (in.d.operand_width == 16)
        e.out += "const u32 v = m16(esp); esp += 2;\n";
      else
        e.out += "const u32 v = m32a(esp); esp += 4;\n";
      e.dirty |= 1u << R_ESP;
      Loc d = op_loc(e, 0);
      op_write(e, d, "v");
      return true;
    }
    case ZYDIS_MNEMONIC_PUSHAD:
      e.out += "const u32 old = esp;\n";
      for (const char* r : {"eax", "ecx", "edx", "ebx", "old", "ebp", "esi", "edi"}) push(e, r);
      return true;
    case ZYDIS_MNEMONIC_POPAD:
      e.out += "edi = m32a(esp); esi = m32a(esp + 4); ebp = m32a(esp + 8); ebx = m32a(esp + 16);\n"
               "edx = m32a(esp + 20); ecx = m32a(esp + 24); eax = m32a(esp + 28); esp += 32;\n";
      e.dirty |= 0xFF;
      return true;
    case ZYDIS_MNEMONIC_PUSHFD: push(e, "x_eflags(fl, df) | 0x202u"); return true;
    case ZYDIS_MNEMONIC_POPFD:
      e.out += "x_set_eflags(fl, df, m32a(esp)); esp += 4;\n";
      e.dirty |= (1u << R_ESP) | D_FLAGS | D_DF;
      return true;
    case ZYDIS_MNEMONIC_LEAVE:
      e.out += "esp = ebp; ebp = m32a(esp); esp += 4;\n";
      e.dirty |= (1u << R_ESP) | (1u << R_EBP);
      return true;
    case ZYDIS_MNEMONIC_ENTER: {
      u32 size = static_cast<u32>(in.ops[0].imm.value.u), level = static_cast<u32>(in.ops[1].imm.value.u) & 31;
      if (in.d.operand_width != 32) return false;
      push(e, "ebp");
      if (level == 0) {
        e.out += "ebp = esp;\n";
      } else {
        // Nested: the enclosing frames' pointers, then this frame's own.
        e.out += "const u32 frame = esp;\n";
        for (u32 i = 1; i < level; i++) {
          e.out += "ebp -= 4;\n";
          push(e, "m32(ebp)");
        }
        push(e, "frame");
        e.out += "ebp = frame;\n";
      }
      e.out += "esp -= " + hex(size) + ";\n";
      e.dirty |= 1u << R_EBP;
      return true;
    }
    default:
      break;
  }
  int cc = condition_of(m);
  if (cc >= 0 && in.d.meta.category == ZYDIS_CATEGORY_COND_BR) {
    emit_conditional(e, condition_text(e, cc));
    return true;
  }
  return false;
}
