// Which relocated words that hold a code address are code entries.
//
// A relocated word is an absolute address, but not every one that points
// into a code section is a code pointer: gcc's constructor and destructor
// lists (0xFFFFFFFF, pointers, 0) and the zero padding after the last
// function sit in .text, and the code that walks them holds their
// addresses. Decoding them as functions makes code out of data. The two
// mistakes are not alike: a real code pointer taken for data is fatal
// when the program calls it (the address was never translated), data
// taken for code only costs generated code. So a word is rejected only on
// evidence:
//
// - it is the displacement of a memory operand other than LEA: the
//   instruction reads or writes the bytes there (a table in .text, a
//   constructor list, a `call [slot]`), it does not take them as code;
// - or the bytes at the address are not code: they begin with 00 00
//   (`add [eax], al`, the zero padding no compiler starts a function
//   with), or decoding along their fall-through meets bytes that do not
//   decode, leave the code section, or an instruction a user-mode program
//   never runs (a privileged or far one, IRET, BOUND, ARPL) before the
//   flow ends at a jump, return or call, or joins code already found.
//   Port I/O is no such evidence: programs of the Windows 95 era read
//   the joystick port directly where the system let them.
//
// Everything else is accepted: an immediate (`push offset callback`,
// `mov [slot], offset f`), a LEA displacement, a word in a data table or
// anywhere outside a decoded instruction, and any address that is already
// an instruction start or lies in a gap of one function's own flow (a
// block only a pointer reaches).
#include <algorithm>

#include "code_map.h"

namespace {

// An instruction that is not the zero padding (when it starts the run) and
// that a user-mode program could run.
bool runnable(const Insn& in, const uint8_t* bytes, bool first) {
  if (first && in.d.length >= 2 && bytes[0] == 0 && bytes[1] == 0) return false;
  const ZydisDecodedInstruction& d = in.d;
  if (d.attributes & ZYDIS_ATTRIB_IS_PRIVILEGED) return false;
  if (d.meta.branch_type == ZYDIS_BRANCH_TYPE_FAR) return false;
  switch (d.mnemonic) {
    case ZYDIS_MNEMONIC_BOUND:
    case ZYDIS_MNEMONIC_ARPL:
    case ZYDIS_MNEMONIC_IRETD:
    case ZYDIS_MNEMONIC_IRET:
      return false;
    default:
      return true;
  }
}

// Whether `va` lies between two consecutive decoded instructions that the
// flow of one function reaches.
bool in_function_gap(const CodeMap& map, u32 va) {
  auto after = map.insns.upper_bound(va);
  if (after == map.insns.begin() || after == map.insns.end()) return false;
  auto before = std::prev(after);
  if (before->second.next() > va) return false;  // inside an instruction
  auto a = map.owner.find(before->first), b = map.owner.find(after->first);
  return a != map.owner.end() && b != map.owner.end() && a->second == b->second;
}

}  // namespace

WordUse relocated_word_use(const CodeMap& map, u32 word_va) {
  auto it = map.insns.upper_bound(word_va);
  if (it == map.insns.begin()) return WordUse::kTable;
  const Insn& in = std::prev(it)->second;
  if (word_va >= in.next()) return WordUse::kTable;
  const u32 offset = word_va - in.va;
  if (in.reloc_disp && offset == in.d.raw.disp.offset)
    return in.d.mnemonic == ZYDIS_MNEMONIC_LEA ? WordUse::kAddress : WordUse::kDataAccess;
  if (in.reloc_imm && offset == in.d.raw.imm[0].offset) return WordUse::kAddress;
  return WordUse::kTable;  // not an address field of the instruction found there
}

bool plausible_code(const PeImage& pe, const CodeMap& map, u32 va) {
  if (map.insns.count(va) || in_function_gap(map, va)) return true;
  ZydisDecoder decoder;
  ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  // Long enough for any straight run a compiler writes between branches.
  for (int n = 0; n < 4096; n++) {
    if (map.insns.count(va)) return true;
    if (map.bad.count(va)) return false;
    const u32 rva = va - pe.image_base;
    const PeSection* s = pe_section_at(pe, rva);
    if (!s || !s->code) return false;
    Insn in{};
    in.va = va;
    const u32 avail = s->rva + s->virtual_size - rva;
    if (ZYAN_FAILED(ZydisDecoderDecodeFull(&decoder, &pe.image[rva], avail, &in.d, in.ops))) return false;
    if (!runnable(in, &pe.image[rva], n == 0)) return false;
    switch (in.d.mnemonic) {
      case ZYDIS_MNEMONIC_JMP:
      case ZYDIS_MNEMONIC_RET:
      case ZYDIS_MNEMONIC_CALL:
      case ZYDIS_MNEMONIC_UD2:
      case ZYDIS_MNEMONIC_INT3:
        return true;
      default:
        break;
    }
    va = in.next();
  }
  return true;
}
