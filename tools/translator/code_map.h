// The guest code found by recursive descent: every decoded instruction by
// address, the addresses where control can arrive from elsewhere, and the
// addresses that could not be decoded.
#pragma once

#include <Zydis/Zydis.h>

#include <map>
#include <set>
#include <vector>

#include "pe_image.h"

struct Insn {
  u32 va;  // guest address at the preferred base
  ZydisDecodedInstruction d;
  ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
  bool reloc_imm;   // the immediate is an absolute guest address
  bool reloc_disp;  // the displacement is an absolute guest address
  u32 next() const { return va + d.length; }
};

// A `jmp [table + index*4]` and the targets its table held in the image.
struct JumpTable {
  u32 table;                 // guest address of entry 0
  std::vector<u32> targets;  // by index
  // Operand width of the bound check's CMP when the jump is reached only
  // through that check's fall-through (its operands are then still at
  // hand at the jump), else 0.
  int guard_width = 0;
};

struct CodeMap {
  std::map<u32, Insn> insns;  // by guest address
  std::set<u32> entries;      // function starts, targets, return addresses
  std::set<u32> functions;    // entry point, exports, call targets, code pointers
  std::set<u32> leaders;      // first instructions of blocks (includes entries)
  std::set<u32> bad;          // addresses reached that did not decode
  std::map<u32, JumpTable> jump_tables;  // by the address of the jump
  // Instructions where a chunk may end: no jump of a function crosses there.
  std::set<u32> uncrossed;
  std::set<u32> pointed;       // code addresses relocated words hold (function pointers)
  std::map<u32, u32> owner;    // instruction -> the function whose flow reaches it first
};

// Decodes the code of `pe` from its entry point, exports and relocated code
// pointers, following calls and jumps.
CodeMap discover_code(const PeImage& pe);

// How a relocated word that holds a code address is used: as the
// displacement of a memory operand other than LEA (the bytes there are read
// or written), as an address taken (an immediate, a LEA displacement), or
// as a word outside any decoded instruction's address fields (a table).
enum class WordUse { kDataAccess, kAddress, kTable };
WordUse relocated_word_use(const CodeMap& map, u32 word_va);
// Whether `va` may start code: an instruction already found, a gap in one
// function's flow, or bytes that decode as code a program could run up to
// the end of their flow (code_pointers.cpp gives the rule).
bool plausible_code(const PeImage& pe, const CodeMap& map, u32 va);
// Fills map.owner: each instruction's function, the first whose flow
// (not calls, not other function starts) reaches it.
void assign_owners(CodeMap& map);

// Direct branch target of a jump, jcc or call (rel form), or 0.
u32 branch_target(const Insn& in);
bool is_relative_branch(const Insn& in);
