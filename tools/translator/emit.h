// C++ emission of translated guest code: the state of one chunk being
// written and the helpers every instruction translator uses.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "code_map.h"

// A consecutive range of guest code translated into one host function.
struct ChunkPlan {
  u32 start, end;  // guest addresses, half-open
  std::vector<const Insn*> insns;
  std::string name;
  u32 index;  // place among the module's chunks
};

// Where an entry address is translated: its chunk's entry body and its
// slot there.
struct EntryRef {
  std::string body;
  u32 slot;
  u32 chunk;  // ChunkPlan::index
};
using EntryRefs = std::map<u32, EntryRef>;
std::string entry_body_name(const ChunkPlan& chunk);

// Register slots in frame order.
enum Reg { R_EAX, R_EBX, R_ECX, R_EDX, R_ESI, R_EDI, R_ESP, R_EBP, R_COUNT };
extern const char* const kRegName[R_COUNT];

// What a block has changed since its last store into the frame.
enum Dirty : unsigned {
  D_CF = 1u << R_COUNT,
  D_OF = D_CF << 1,
  D_SZP = D_CF << 2,
  D_DF = D_CF << 3,
  D_FLAGS = D_CF | D_OF | D_SZP,
  D_AF = D_CF << 4,  // liveness only: AF has no frame slot
};

// An operand: a register part, guest memory at an address held in a
// temporary, or an immediate.
struct Loc {
  enum Kind { REG, MEM, IMM } kind;
  int width;
  Reg reg;
  int part;  // 0: 32 bits, 1: low 16, 2: low 8, 3: bits 8-15
  std::string text;  // MEM: the address variable; IMM: the value
  bool aligned;      // MEM: known 4-aligned
};

// The flag values a way out of a chunk (a return, an indirect jump or
// call, a host call, a leave for the runtime) stores for where it goes.
// Every target inside the module is an entry, so `any`: the flags that
// some entry reads before setting them; a module of compiled code has none
// (a compiler never lets flags live across a call, a return or a switch).
// The RET of an exported function stores all six, since its caller may be
// another module's hand-written code. ExitFlags{}: nothing at all.
struct ExitFlags {
  unsigned any = 0;
  std::set<u32> exported;  // exported function starts
};
unsigned exit_flags_at(const CodeMap& map, const ExitFlags& x, const Insn& in);

// A one-block loop whose only instruction that can fault reads or writes
// one byte at [base + disp]: its jump back to itself leaves the base
// register out of the frame, and a fault there takes it from the faulting
// address instead (the module's g_fault_bases, fault_sites.cpp).
struct FaultSite {
  Reg base;
  u32 disp;
  bool relocated;  // disp is an absolute guest address (add the fixup)
};
std::map<u32, FaultSite> fault_sites(const ChunkPlan& chunk, const std::set<u32>& labels);
bool cannot_fault(const Insn& in);
bool ends_block(const Insn& in);

struct Emitter {
  const PeImage* pe;
  const CodeMap* map;
  const ChunkPlan* chunk;
  const std::set<u32>* labels;  // addresses with a label in this chunk
  const std::set<u32>* eip_free;  // labels of blocks that cannot fault
  const std::map<u32, FaultSite>* fault_sites;  // by block label
  // Flag groups live at each address: those a block edge stores into the
  // frame (read by the chunk's own instructions), and those the locals
  // carry (read by them or by a way out of the chunk, which stores them).
  const std::map<u32, unsigned>* flags_live;
  const std::map<u32, unsigned>* flags_carried;
  const EntryRefs* entry_refs;                // every entry of the module
  const ExitFlags* exits;                     // what the ways out store of the flags
  // Likely targets, tried in order before the look-up: the return
  // addresses of this chunk's calls of each function, and the function
  // pointers that lead into this chunk.
  const std::map<u32, std::vector<u32>>* returns_of;
  const std::vector<u32>* pointed_here;
  std::string out;
  std::string helpers;  // functions of the chunk's file written before it
  unsigned dirty;
  u32 block_va;  // label of the block being written (its EIP is in the frame), or 0
  int temp;
  const Insn* in;                 // instruction being translated
  const Insn* last_cmp;           // the last CMP, when only moves (leaves_compare) followed it
  // A CMP's flag computation, not yet written: it is written where the
  // flags are first needed (an instruction that reads them, an edge or an
  // exit that stores them), so a branch edge that needs none computes none.
  std::string pending_flags;
  std::map<std::string, int>* untranslated;  // mnemonic -> count
};

// Thrown by operand helpers for forms the translator does not handle.
struct Unsupported {};

// Operands and registers.
Loc op_loc(Emitter& e, int index);
std::string op_read(Emitter& e, const Loc& l);
void op_write(Emitter& e, const Loc& l, const std::string& value);
std::string reg_read(Reg r, int part);
// The local holding a 32-bit general register, or null for any other.
// The frame slot of a general register and its part (0: 32 bits, 1: low
// 16, 2: low 8, 3: bits 8-15); false for any other register.
bool map_register(ZydisRegister r, Reg* reg, int* part);
const char* reg_local32(ZydisRegister r);
void reg_write(Emitter& e, Reg r, int part, const std::string& value);
std::string effective_address(Emitter& e, const ZydisDecodedOperand& op, bool with_segment);
std::string address16(const ZydisDecodedOperandMem& m);  // with the address-size prefix
std::string hex(u32 v);
std::string new_temp(Emitter& e);
// The low W bits mask as text.
std::string mask_text(int width);

// Writes the pending flag computation, if any.
void emit_pending_flags(Emitter& e);
// The stores of the given flag groups' values into the frame.
std::string flag_stores(unsigned flags);
// The stores of those of `flags` that the block at the label `target`
// reads (the frame holds them when it starts).
std::string target_flag_stores(const Emitter& e, u32 target, unsigned flags);
// What a block starting at `va` finds changed: the flags its locals carry
// that no edge into it stored.
unsigned label_dirty(const Emitter& e, u32 va);

// Frame synchronisation and control transfer.
void emit_sync(Emitter& e);                 // store what the block changed
// Forgets the changed flags that a way out at the current instruction does
// not store (see ExitFlags).
void drop_unread_exit_flags(Emitter& e);
void emit_goto(Emitter& e, u32 target);     // sync, then branch or leave
// The register bit a jump back to the start of the block being written
// leaves out of the frame (FaultSite), or 0.
unsigned self_edge_unstored(const Emitter& e);
void emit_conditional(Emitter& e, const std::string& cond);  // branch on C++ text to the target or the next
void emit_lookup(Emitter& e);               // sync, then the decision tree on `eip`
void emit_leave_at(Emitter& e, u32 guest);  // sync, leave for the dispatcher at `guest`
// Returns `stop` (a ChunkStop) with the frame holding the guest state at
// EIP `eip_rel` (text, in the module's own numbering): what the block
// changed is stored; the block's own record of it stays, for the code that
// follows on other paths. `before` is written between the stores and the
// return (code that reads the stored frame).
void emit_exit(Emitter& e, const std::string& eip_rel, const char* stop, const std::string& before = "");
void emit_untranslated(Emitter& e);         // leave at the current instruction, unreported
// A guest call of `target` (text), whose return address was pushed: a host
// call of the target's chunk, then on at the return address.
void emit_host_call(Emitter& e, u32 direct_target, u32 return_va);
// The C++ condition that `eip` lies outside the module and the host stack
// has room to call it from the chunk (chunk_call_foreign).
std::string foreign_target(const Emitter& e);
// Jumps to those of `targets` (labels of this chunk) that equal `eip`; the
// frame must hold everything but EIP, which each jump stores as an edge
// into its target would.
void emit_likely(Emitter& e, const std::vector<u32>& targets);
// The same where the frame lacks the flag values of `flags` (held by the
// locals): each target is reached with those it reads stored.
void emit_likely_flags(Emitter& e, const std::vector<u32>& targets, unsigned flags);
// Jumps to those of the labels v[lo..hi-1] (sorted, distinct) that equal
// `rel`, by a tree of compares (a host switch over those sparse values, or
// an indirect jump through label offsets, made gcc spill far more across
// the chunk). Each is reached with those of `flags` (held by the locals)
// that its block reads stored and, with `eip`, its EIP if it can fault.
void emit_target_tree(Emitter& e, const std::vector<u32>& v, size_t lo, size_t hi, unsigned flags, bool eip);
// The text of one such jump: to label t when `rel` equals it.
std::string target_jump(const Emitter& e, u32 t, unsigned flags, bool eip);

// Bit instructions (BT, BTS, BTR, BTC) on `d` with bit offset `s`: moves a
// memory operand to the word a register offset reaches and writes `n`,
// the bit within it.
void bit_operand(Emitter& e, Loc& d, const Loc& s);

// Condition code of a jcc/setcc/cmovcc (0..15 in x86 order), or -1.
int condition_of(ZydisMnemonic m);
std::string condition_text(Emitter& e, int cc);
// Whether `in` neither reads nor writes flags nor syncs the frame, so a
// CMP before it still decides a conditional jump after it.
bool leaves_compare(const Insn& in);

// Instruction translators: return false when the instruction is not handled.
bool emit_system(Emitter& e);  // first: traps, CPUID, RDTSC, CMPXCHG8B, AAM/AAD
bool emit_legacy(Emitter& e);  // from emit_system: decimal adjusts, 16-bit pushes, LOOP in CX
bool emit_locked(Emitter& e);  // the locked forms of what emit_alu does plainly
bool emit_alu(Emitter& e);
bool emit_flow(Emitter& e);
bool emit_misc(Emitter& e);
bool emit_x87_p6(Emitter& e);  // before emit_misc: FCOMI, FUCOMI, FCMOVcc
// The flag locals set from an FCOMI entry's answer (ZF, PF, CF in their
// EFLAGS places), held in the C++ variable `answer`.
std::string x87_flags_from(const std::string& answer);
bool emit_x87(Emitter& e);     // from emit_misc: the 387 instructions, decoded here
// The way out after the runtime abandoned the x87 instruction at `va`:
// its unmasked exception raised at it with the frame up to date, or, with
// none pending, the chunk left at it.
void emit_x87_abandoned(Emitter& e, u32 va);
// Whether emit_x87 writes `in` as a call of the runtime's x87, which
// neither reads nor sets a flag (its only way out is an abandoned
// instruction, which leaves the chunk).
bool x87_direct(const Insn& in);
// The call of the runtime's own entry of an x87 instruction in its plain
// encoding (nonzero when the instruction was abandoned), with the operand
// address of a memory form; empty for one that has none.
std::string x87_entry_call(const Insn& in, const std::string& address);
// The operand address of an x87 memory form (e.in), as the runtime's
// decoder would compute it; false for a form the translator cannot write.
bool x87_operand_address(Emitter& e, std::string* out);
// How many instructions from insns[i] on form a run of x87 instructions
// whose values the chunk holds in its own locals (emit_x87_run.cpp): 0
// or 1 for none.
size_t x87_run_length(Emitter& e, const std::vector<const Insn*>& insns, size_t i);
// The instruction as a comment line's text (Intel syntax).
std::string disassemble(const Insn& in);
// Writes such a run of n instructions.
void emit_x87_run(Emitter& e, const Insn* const* run, size_t n);

// Translates one instruction; false when it could not and the code written
// leaves the chunk at it instead.
bool emit_instruction(Emitter& e);
