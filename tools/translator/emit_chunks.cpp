// Splitting guest code into chunks and writing each chunk as one host
// function: register slots in locals, the decision-tree look-up, blocks.
#include <Zydis/Zydis.h>

#include <cstdio>

#include "translate.h"

namespace {

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

std::string label(u32 va) { return "L_" + std::to_string(va); }

// Balanced decision tree over the sorted entry addresses in `a`.
void emit_tree(std::string& out, const std::vector<u32>& v, size_t lo, size_t hi) {
  if (hi - lo <= 3) {
    for (size_t i = lo; i < hi; i++) out += "if (a == " + hex(v[i]) + ") goto " + label(v[i]) + ";\n";
    out += "goto miss;\n";
    return;
  }
  size_t mid = (lo + hi) / 2;
  out += "if (a < " + hex(v[mid]) + ") {\n";
  emit_tree(out, v, lo, mid);
  out += "}\nif (a == " + hex(v[mid]) + ") goto " + label(v[mid]) + ";\n";
  emit_tree(out, v, mid + 1, hi);
}

const char* const kStoreAll =
    "F->eax = eax; F->ebx = ebx; F->ecx = ecx; F->edx = edx; F->esi = esi; F->edi = edi;\n"
    "F->esp = esp; F->ebp = ebp; F->eip = eip;\n"
    "F->cf = fl.cf; F->of = fl.of; F->sf = fl.sf; F->zf = fl.zf; F->pf = fl.pf; F->df = df;\n";

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

}  // namespace

std::vector<ChunkPlan> plan_chunks(const PeImage& pe, const CodeMap& map, u32 limit) {
  std::vector<ChunkPlan> chunks;
  for (const PeSection& s : pe.sections) {
    if (!s.code) continue;
    const u32 start = pe.image_base + s.rva, end = start + s.virtual_size;
    ChunkPlan cur{start, end, {}, {}};
    for (auto it = map.insns.lower_bound(start); it != map.insns.end() && it->first < end; ++it) {
      const u32 va = it->first;
      const size_t n = cur.insns.size();
      if ((n >= limit && map.functions.count(va)) || (n >= 4 * limit && map.leaders.count(va))) {
        cur.end = va;
        chunks.push_back(cur);
        cur = ChunkPlan{va, end, {}, {}};
      }
      cur.insns.push_back(&it->second);
    }
    if (!cur.insns.empty()) chunks.push_back(cur);
  }
  for (ChunkPlan& c : chunks) {
    char name[32];
    snprintf(name, sizeof name, "chunk_%08X", c.start);
    c.name = name;
  }
  return chunks;
}

void emit_chunk(const PeImage& pe, const CodeMap& map, const ChunkPlan& chunk, std::string& out,
                std::map<std::string, int>& untranslated) {
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
  std::vector<u32> entries;
  for (auto it = map.entries.lower_bound(chunk.start); it != map.entries.end() && *it < chunk.end; ++it)
    if (map.insns.count(*it)) entries.push_back(*it);

  const std::map<u32, unsigned> flags_live = flag_liveness(map, chunk);
  Emitter e{};
  e.flags_live = &flags_live;
  e.pe = &pe;
  e.map = &map;
  e.chunk = &chunk;
  e.labels = &labels;
  e.untranslated = &untranslated;
  e.out.reserve(chunk.insns.size() * 200);
  e.out += "bool " + chunk.name + "(ChunkFrame* F) {\n";
  e.out +=
      "u32 eax = F->eax, ebx = F->ebx, ecx = F->ecx, edx = F->edx, esi = F->esi, edi = F->edi;\n"
      "u32 esp = F->esp, ebp = F->ebp, eip = F->eip;\n"
      "XFlags fl = {F->cf, F->of, F->sf, F->zf, F->pf};\n"
      "i32 df = F->df;\n"
      "const u32 fx = F->fixup;\n"
      "u32 ca = 0, cb = 0;\n"
      "(void)ca; (void)cb;\n"
      "lookup:\n"
      "F->eip = eip;\n"
      "if (eip == RETURN_SENTINEL) goto leave;\n"
      "{\nconst u32 a = eip - fx;\n";
  emit_tree(e.out, entries, 0, entries.size());
  e.out += "}\n";

  bool falls = false;
  for (size_t i = 0; i < chunk.insns.size(); i++) {
    const Insn& in = *chunk.insns[i];
    if (labels.count(in.va)) {
      if (falls) {
        e.dirty &= ~(D_FLAGS & ~flags_live.at(in.va));
        emit_sync(e);
        e.out += "F->eip = fx + " + hex(in.va) + ";\n";
      }
      e.out += label(in.va) + ":\n";
      e.dirty = 0;
      e.last_cmp = nullptr;
      e.block_va = in.va;
    } else if (!falls) {
      e.block_va = 0;
    }
    e.out += "// " + disassemble(in) + "\n";
    e.in = &in;
    const bool failed = !emit_instruction(e);
    e.last_cmp = (!failed && in.d.mnemonic == ZYDIS_MNEMONIC_CMP) ? &in : nullptr;
    falls = !failed && !ends_block(in);
    const bool adjacent = i + 1 < chunk.insns.size() && chunk.insns[i + 1]->va == in.next();
    if (falls && !adjacent) {
      emit_goto(e, in.next());
      falls = false;
    }
  }
  e.out += "leave:\n";
  e.out += kStoreAll;
  e.out += "return false;\nmiss:\n";
  e.out += kStoreAll;
  e.out += "return true;\n}\n\n";
  out += e.out;
}
