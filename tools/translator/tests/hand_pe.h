// Small PE images built in memory for the translator's tests.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "pe_image.h"

struct HandSection {
  std::string name;  // longer than eight bytes: through the string table
  u32 rva;           // a page each, 0x200 bytes of it from the file
  u32 characteristics;
  std::vector<uint8_t> bytes;
};

inline constexpr u32 kHandBase = 0x400000;

// An executable at 0x400000 with entry RVA 0x1000, the given sections, and a
// .reloc section after them holding base relocations at the RVAs `relocs`.
inline std::vector<uint8_t> hand_pe(std::vector<HandSection> sections, const std::vector<u32>& relocs) {
  auto put32 = [](std::vector<uint8_t>& b, u32 at, u32 v) {
    for (int i = 0; i < 4; i++) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto put16 = [](std::vector<uint8_t>& b, u32 at, u32 v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  std::vector<uint8_t> blocks;  // one block of type-3 entries per page
  std::vector<u32> pages;
  for (u32 r : relocs)
    if (std::find(pages.begin(), pages.end(), r & ~0xFFFu) == pages.end()) pages.push_back(r & ~0xFFFu);
  for (u32 page : pages) {
    std::vector<u32> here;
    for (u32 r : relocs)
      if ((r & ~0xFFFu) == page) here.push_back(3u << 12 | (r & 0xFFF));
    if (here.size() % 2) here.push_back(0);  // a padding entry keeps blocks word aligned
    const size_t at = blocks.size();
    blocks.resize(at + 8 + 2 * here.size());
    put32(blocks, at, page);
    put32(blocks, at + 4, static_cast<u32>(8 + 2 * here.size()));
    for (size_t k = 0; k < here.size(); k++) put16(blocks, at + 8 + 2 * k, here[k]);
  }
  const u32 reloc_rva = sections.back().rva + 0x1000;
  sections.push_back({".reloc", reloc_rva, 0x42000040, blocks});

  const u32 n = static_cast<u32>(sections.size());
  std::vector<uint8_t> b(0x200 * (n + 1), 0);
  b[0] = 'M';
  b[1] = 'Z';
  put32(b, 0x3C, 0x40);
  put32(b, 0x40, 0x00004550);
  const u32 coff = 0x44, opt = 0x58;
  put16(b, coff, 0x14C);
  put16(b, coff + 2, n);
  put16(b, coff + 16, 0xE0);
  put16(b, coff + 18, 0x0102);
  put16(b, opt, 0x10B);
  put32(b, opt + 16, 0x1000);
  put32(b, opt + 28, kHandBase);
  put32(b, opt + 32, 0x1000);
  put32(b, opt + 36, 0x200);
  put32(b, opt + 56, reloc_rva + 0x1000);
  put32(b, opt + 60, 0x200);
  put32(b, opt + 92, 16);
  put32(b, opt + 96 + 8 * 5, reloc_rva);
  put32(b, opt + 100 + 8 * 5, static_cast<u32>(blocks.size()));
  std::string strings(4, '\0');  // the string table: its size, then the names
  for (u32 i = 0; i < n; i++) {
    const HandSection& s = sections[i];
    const u32 h = opt + 0xE0 + 40 * i, raw = 0x200 * (i + 1);
    std::string name = s.name;
    if (name.size() > 8) {
      name = "/" + std::to_string(strings.size());
      strings += s.name + '\0';
    }
    std::memcpy(&b[h], name.data(), name.size());
    put32(b, h + 8, 0x200);
    put32(b, h + 12, s.rva);
    put32(b, h + 16, 0x200);
    put32(b, h + 20, raw);
    put32(b, h + 36, s.characteristics);
    std::memcpy(&b[raw], s.bytes.data(), std::min<size_t>(0x200, s.bytes.size()));
  }
  if (strings.size() > 4) {
    put32(b, coff + 8, static_cast<u32>(b.size()));  // an empty symbol table, then the strings
    const u32 at = static_cast<u32>(b.size());
    b.insert(b.end(), strings.begin(), strings.end());
    put32(b, at, static_cast<u32>(strings.size()));
  }
  return b;
}
