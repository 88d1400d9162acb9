// Runs of x87 instructions whose values the chunk holds in locals.
//
// Each entry of the runtime's x87 reads its operands from the x87 state
// and writes its result back there, so a value travels from one
// instruction to the next through memory. Consecutive x87 instructions of
// one block (moves, integer loads and stores, the four operations, square
// root, sign changes, the constants 0 and 1, FCOMI and FUCOMI) are instead
// written here with ExtValue locals, one per register the run touches: a
// register is read from the state once, the stack moves are resolved at
// translation time, and what the run changed is stored back once at its
// end. Each instruction computes what its entry computes: the common case
// with the same inline routine, every other case with the runtime's
// routine on values that the entry runs there (support/xlat_x87.h), so the
// results, and the flags of masked exceptions, are the same.
//
// The locals hold the run only while no instruction can raise a stack
// fault or be abandoned: every exception masked (checked once), each
// register read present, each push onto an empty register. At the first
// instruction where that does not hold, the run stores what it holds as
// the state stood before that instruction and goes on through the
// entries, one call per instruction, to its end.
#include <cstdio>
#include <set>
#include <vector>
#include <utility>

#include "emit.h"

namespace {

enum class Op { LoadMem, StoreMem, LoadReg, Exchange, StoreReg, Constant, Sign, Root, ArithReg, ArithMem, Compare };

struct RunInsn {
  Op op;
  unsigned opcode, reg, i;  // i: ST(i) of a register form, or the D9 /4, /5 row's function
  const char* width;        // of a memory operand: double, float, int32 or int16
  bool pop;
};

// The instructions a run holds: those with entries of their own whose
// common case the run can compute itself.
bool classify(const Insn& in, RunInsn* r) {
  if (!x87_direct(in)) return false;
  const unsigned op = in.d.opcode, mod = in.d.raw.modrm.mod, reg = in.d.raw.modrm.reg, rm = in.d.raw.modrm.rm;
  const char* width = op == 0xD8 || op == 0xD9 ? "float" : op == 0xDB ? "int32" : op == 0xDF ? "int16" : "double";
  *r = {Op::LoadMem, op, reg, rm, width, false};
  if (mod != 3) {
    if ((op == 0xD8 || op == 0xDC) && reg != 2 && reg != 3) {
      r->op = Op::ArithMem;
      return true;
    }
    if (op != 0xD9 && op != 0xDD && op != 0xDB && op != 0xDF) return false;
    if (reg == 0) return true;
    r->op = Op::StoreMem;
    r->pop = reg == 3;
    return reg == 2 || reg == 3;
  }
  switch (op) {
    case 0xD8:
    case 0xDC:
    case 0xDE:
      if (reg == 2 || reg == 3) return false;  // compares
      if (op == 0xDE && reg == 1 && rm == 0) return false;  // FMULP ST(0) pops its own product
      r->op = Op::ArithReg;
      r->pop = op == 0xDE;
      return true;
    case 0xD9:
      if (reg == 0 && rm != 7) r->op = Op::LoadReg;  // FLD ST(7) pushes onto its own source
      else if (reg == 1) r->op = Op::Exchange;
      else if (reg == 4 && rm <= 1) r->op = Op::Sign;  // FCHS, FABS
      else if (reg == 5 && (rm == 0 || rm == 6)) r->op = Op::Constant;  // FLD1, FLDZ
      else if (reg == 7 && rm == 2) r->op = Op::Root;
      else return false;
      return true;
    case 0xDD:
      if (reg != 2 && reg != 3) return false;
      r->op = Op::StoreReg;
      r->pop = reg == 3;
      return true;
    case 0xDB:
    case 0xDF:
      // FUCOMI, FCOMI (DB /5, /6) and their pops (DF); a conditional jump
      // usually follows and ends the run.
      if (reg != 5 && reg != 6) return false;
      r->op = Op::Compare;
      r->pop = op == 0xDF;
      return true;
    default: return false;
  }
}

// What the run knows of one register, numbered from the run's TOP.
struct Slot {
  bool local = false;    // its value is in its local (Model::loc)
  bool dirty = false;    // the local differs from the state
  bool popped = false;   // emptied by the run: its tag goes back EMPTY
  bool present = false;  // known not empty
};
struct Model {
  Slot s[8];
  unsigned loc[8] = {0, 1, 2, 3, 4, 5, 6, 7};  // the local of each register: FXCH swaps two
  int d = 0;           // TOP relative to the run's start
  bool c1 = false;     // C1 cleared
  unsigned q(unsigned i) const { return static_cast<unsigned>(d + static_cast<int>(i)) & 7; }
  std::string name(unsigned q) const { return "x" + std::to_string(loc[q]); }
};

std::string state_reg(unsigned q) { return "xs->regs[(xt + " + std::to_string(q) + "u) & 7]"; }

// The stores that bring the state to what the model holds.
std::string write_back(const Model& m) {
  std::string s;
  for (unsigned q = 0; q < 8; q++) {
    const Slot& t = m.s[q];
    if (t.local && t.dirty) {
      if (t.popped) s += "x87_set_empty(&" + m.name(q) + ");\n";
      s += "x87_copy(&" + state_reg(q) + ", &" + m.name(q) + ");\n";
    } else if (t.popped) {
      s += "x87_set_empty(&" + state_reg(q) + ");\n";
    }
  }
  if (m.d) s += "xs->top = xt " + std::string(m.d < 0 ? "- " : "+ ") + std::to_string(m.d < 0 ? -m.d : m.d) + "u;\n";
  if (m.c1) s += "xs->status &= ~SW_C1;\n";
  return s;
}

// Writes the instructions of a run one by one, keeping the model. A
// dry pass (its text discarded) finds how far a run goes: `ok` turns
// false at an instruction the locals cannot hold (a register the run
// emptied read, or a push onto one it filled).
struct Writer {
  std::string out;
  Model m;
  std::string bail;  // the current instruction's way out to the entries
  bool ok = true;
  bool compared = false;  // a compare set the flags

  // ST(i) in its local, read from the state on first use; `check`: the
  // instruction needs it present.
  std::string operand(unsigned i, bool check) {
    Slot& t = m.s[m.q(i)];
    if (t.popped) ok = false;
    const std::string name = m.name(m.q(i));
    if (!t.local) {
      out += "x87_copy(&" + name + ", &" + state_reg(m.q(i)) + ");\n";
      t.local = true;
      t.dirty = false;
    }
    if (check && !t.present) {
      out += "if (x87_empty(&" + name + ")) " + bail;
      t.present = true;
    }
    return "&" + name;
  }
  // The register a push fills, checked empty where the run has not
  // emptied it itself.
  std::string push_target() {
    const Slot& t = m.s[m.q(7)];
    if (t.local && !t.popped) ok = false;
    if (!t.popped) out += "if (!x87_empty(&" + state_reg(m.q(7)) + ")) " + bail;
    return m.name(m.q(7));
  }
  void pushed() {
    m.d--;
    m.s[m.q(0)] = {true, true, false, true};
  }
  void pop() {
    Slot& t = m.s[m.q(0)];
    t.popped = true;
    t.present = false;
    m.d++;
  }
  void changed(unsigned i) {
    Slot& t = m.s[m.q(i)];
    t.dirty = t.present = true;
  }

  // The four operations, with the operands in the order the entry passes
  // them.
  void arith(const RunInsn& r, const std::string& a, const std::string& b, const std::string& dst) {
    switch (r.reg) {
      case 0: out += "x87_add(" + a + ", " + b + ", " + dst + ");\n"; break;
      case 1: out += "x87_mul(" + a + ", " + b + ", " + dst + ");\n"; break;
      case 4: out += "x87_sub(" + a + ", " + b + ", " + dst + ");\n"; break;
      case 5: out += "x87_sub(" + b + ", " + a + ", " + dst + ");\n"; break;
      case 6: out += "X87_value_quotient(" + a + ", " + b + ", " + dst + ");\n"; break;
      default: out += "X87_value_quotient(" + b + ", " + a + ", " + dst + ");\n"; break;
    }
  }

  bool write(const RunInsn& r, const std::string& address) {
    const std::string width = r.width;
    switch (r.op) {
      case Op::LoadMem: {
        const std::string t = push_target();
        out += "x87_load_" + width + "(" + address + ", &" + t + ");\n";
        pushed();
        break;
      }
      case Op::Constant: {
        const std::string t = push_target();
        out += r.i == 0 ? "ext_put(&" + t + ", 0, TAG_VALID, EXT_BIAS, 1ull << 63);\n"
                          : "ext_put(&" + t + ", 0, TAG_ZERO, 0, 0);\n";
        pushed();
        m.c1 = true;
        break;
      }
      case Op::LoadReg: {
        const std::string src = operand(r.i, true);
        const std::string t = push_target();
        out += "x87_copy(&" + t + ", " + src + ");\n";
        pushed();
        break;
      }
      case Op::StoreMem: {
        const std::string v = operand(0, true);
        out += "x87_store_" + width + "(" + v + ", " + address + ", xs->control);\n";
        if (r.pop) pop();
        break;
      }
      case Op::Exchange: {
        operand(0, true);
        operand(r.i, true);
        std::swap(m.loc[m.q(0)], m.loc[m.q(r.i)]);  // the values change registers, not locals
        changed(0);
        changed(r.i);
        break;
      }
      case Op::StoreReg: {
        const std::string v = operand(0, false);
        if (r.i != 0) {
          const bool present = m.s[m.q(0)].present;
          out += "x87_copy(&" + m.name(m.q(r.i)) + ", " + v + ");\n";
          m.s[m.q(r.i)] = {true, true, false, present};
        }
        if (r.pop) pop();
        break;
      }
      case Op::Sign: {
        const std::string v = operand(0, true);
        out += r.i == 0 ? "(" + v + ")->sign ^= 1;\n" : "(" + v + ")->sign = 0;\n";
        changed(0);
        m.c1 = true;
        break;
      }
      case Op::Root: {
        out += "X87_value_root(" + operand(0, true) + ");\n";
        changed(0);
        break;
      }
      case Op::ArithMem: {
        // The operand is read only with ST(0) present, as the entry reads it.
        const std::string s0 = operand(0, true);
        out += "x87_load_" + width + "(" + address + ", &xm);\n";
        // The entry's operands: the loaded value first for a sum.
        if (r.reg == 0) arith(r, "&xm", s0, s0);
        else arith(r, s0, "&xm", s0);
        changed(0);
        break;
      }
      case Op::Compare: {
        // The flags go to the chunk, which sets them as emit_x87_p6 does.
        const std::string s0 = operand(0, true), si = operand(r.i, true);
        out += "xf = x87_order(" + s0 + ", " + si + ", " + std::to_string(r.reg == 5) + "u) << 8;\n";
        compared = true;
        changed(0);  // normalised in place where it was not ordered in line
        changed(r.i);
        m.c1 = true;
        if (r.pop) pop();
        break;
      }
      case Op::ArithReg: {
        const std::string s0 = operand(0, true), si = operand(r.i, true);
        const bool into0 = r.opcode == 0xD8;
        // A product passes the destination first.
        if (r.reg == 1 && !into0) arith(r, si, s0, si);
        else arith(r, s0, si, into0 ? s0 : si);
        changed(into0 ? 0 : r.i);
        if (r.pop) pop();
        break;
      }
    }
    return ok;
  }
};

// The instruction's decoding and its operand address (of a memory form).
bool decode(Emitter& e, const Insn& in, RunInsn* r, std::string* address) {
  if (!classify(in, r)) return false;
  address->clear();
  if (in.d.raw.modrm.mod == 3) return true;
  const Insn* saved = e.in;
  e.in = &in;
  const bool ok = x87_operand_address(e, address);
  e.in = saved;
  return ok;
}

}  // namespace

size_t x87_run_length(Emitter& e, const std::vector<const Insn*>& insns, size_t i) {
  Writer w;  // a dry pass: its text is dropped
  size_t n = 0;
  // At most 255 instructions: the function's answer has 8 bits for the place.
  for (size_t k = i; k < insns.size() && n < 255; k++, n++) {
    const Insn& in = *insns[k];
    if (k > i && (in.va != insns[k - 1]->next() || e.labels->count(in.va))) break;
    RunInsn r;
    std::string address;
    if (!decode(e, in, &r, &address) || !w.write(r, address)) break;
  }
  return n;
}

// The run lives in a function of its own, so that its locals do not weigh
// on the register allocation of the chunk (a large function in which
// other guest code runs hot too). It takes the guest registers its
// addresses use and Fixup. Where the locals cannot hold an instruction,
// it stores what they hold into the state and goes on through the
// entries itself. It answers n once it has run to the end, or the place
// of an instruction the runtime abandoned with bit 31 set, and above the
// place (bits 8 on) the flags of its last compare as FCOMI's entry
// answers them.
void emit_x87_run(Emitter& e, const Insn* const* run, size_t n) {
  const u32 id = run[0]->va;
  char name[32];
  snprintf(name, sizeof name, "x87_run_%X", id);
  // The guest registers the operand addresses use.
  std::set<std::string> used;
  for (size_t k = 0; k < n; k++)
    for (int j = 0; j < run[k]->d.operand_count; j++) {
      const ZydisDecodedOperand& op = run[k]->ops[j];
      if (op.type != ZYDIS_OPERAND_TYPE_MEMORY) continue;
      for (ZydisRegister r : {op.mem.base, op.mem.index})
        if (const char* local = reg_local32(r)) used.insert(local);
    }
  std::string params, args;
  for (const std::string& r : used) {
    params += "u32 " + r + ", ";
    args += r + ", ";
  }

  Writer w;
  w.out += "static __attribute__((noinline)) u32 " + std::string(name) + "(" + params + "u32 fx) {\n";
  w.out += "(void)fx;\nu32 xf = 0, xk = 0, xt;\nFpuState* const xs = X87S;\nExtValue x0, x1, x2, x3, x4, x5, x6, x7, xm;\n"
           "(void)xm;\nif ((xs->control & 0x7F) != 0x7F) goto entries;\nxt = xs->top;\n";
  std::vector<RunInsn> insns(n);
  std::vector<std::string> addresses(n);
  size_t first_compare = n;
  for (size_t k = 0; k < n; k++) {
    w.out += "// " + disassemble(*run[k]) + "\n";
    w.bail = "{\n" + write_back(w.m) + "xk = " + std::to_string(k) + ";\ngoto entries;\n}\n";
    decode(e, *run[k], &insns[k], &addresses[k]);
    w.write(insns[k], addresses[k]);
    if (w.compared && first_compare == n) first_compare = k;
  }
  w.out += write_back(w.m) + "return xf | " + std::to_string(n) + ";\n";
  // From the instruction the locals could not hold on, through the
  // entries; an abandoned instruction is answered with bit 31.
  w.out += "entries:\nswitch (xk) {\n";
  for (size_t k = 0; k < n; k++) {
    const RunInsn& r = insns[k];
    const std::string at = std::to_string(k);
    w.out += "case " + at + ":\n";
    if (r.op == Op::Compare) {
      char call[40];
      snprintf(call, sizeof call, "X87_%02X_%u_r(%u, X87S)", r.opcode, r.reg, r.i);
      w.out += "{\nconst u32 f = " + std::string(call) + ";\nif (f & X87_ABANDONED) return 0x80000000u | xf | " + at +
               ";\nxf = f << 8;\n}\n";
    } else {
      w.out += "if (" + x87_entry_call(*run[k], addresses[k]) + ") return 0x80000000u | xf | " + at + ";\n";
    }
    w.out += "[[fallthrough]];\n";
  }
  w.out += "default: break;\n}\nreturn xf | " + std::to_string(n) + ";\n}\n\n";
  e.helpers += w.out;

  e.out += "// x87 run of " + std::to_string(n) + " instructions, values in locals (" + name + ")\n{\n";
  e.out += "const u32 x87r = " + std::string(name) + "(" + args + "fx);\n";
  if (first_compare < n) {
    // The flags as emit_x87_p6 sets them from the entry's answer, once
    // the compare has run.
    e.out += "if ((x87r & 0xFF) > " + std::to_string(first_compare) + ") {\nconst u32 x87f = x87r >> 8;\n" +
             x87_flags_from("x87f") + "}\n";
    e.dirty |= D_FLAGS;
  }
  // An abandoned instruction raises its exception, as in emit_x87.
  e.out += "if (__builtin_expect(x87r >> 31, 0)) {\nswitch (x87r & 0xFF) {\n";
  for (size_t k = 0; k < n; k++) {
    e.in = run[k];
    e.out += "case " + std::to_string(k) + ": {\n";
    emit_x87_abandoned(e, run[k]->va);
    e.out += "}\n";
  }
  e.out += "default: break;\n}\n}\n}\n";
}
