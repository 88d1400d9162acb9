// Code discovery on a hand-built image: which relocated words that point
// into .text become code entries.
#include <gtest/gtest.h>

#include <cstring>

#include "code_map.h"

namespace {

constexpr u32 kBase = 0x400000;

void put32(std::vector<uint8_t>& b, u32 at, u32 v) {
  for (int i = 0; i < 4; i++) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void put16(std::vector<uint8_t>& b, u32 at, u32 v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// An executable with .text at RVA 0x1000, .rdata at 0x2000 and .reloc at
// 0x3000 (each 0x200 bytes in the file), whose relocated words are at
// `relocs` (RVAs in .text and .rdata).
std::vector<uint8_t> image(const std::vector<uint8_t>& text, const std::vector<uint8_t>& rdata,
                           const std::vector<u32>& relocs) {
  std::vector<uint8_t> b(0x800, 0);
  b[0] = 'M';
  b[1] = 'Z';
  put32(b, 0x3C, 0x40);
  put32(b, 0x40, 0x00004550);
  const u32 coff = 0x44, opt = 0x58;
  put16(b, coff, 0x14C);
  put16(b, coff + 2, 3);
  put16(b, coff + 16, 0xE0);
  put16(b, coff + 18, 0x0102);
  put16(b, opt, 0x10B);
  put32(b, opt + 16, 0x1000);  // entry
  put32(b, opt + 28, kBase);
  put32(b, opt + 32, 0x1000);
  put32(b, opt + 36, 0x200);
  put32(b, opt + 56, 0x4000);
  put32(b, opt + 60, 0x200);
  put32(b, opt + 92, 16);
  // Base relocations: one block per page.
  std::vector<uint8_t> blocks;
  for (u32 page : {0x1000u, 0x2000u}) {
    std::vector<u32> here;
    for (u32 r : relocs)
      if ((r & ~0xFFFu) == page) here.push_back(r);
    if (here.size() % 2) here.push_back(0);  // a padding entry keeps blocks word aligned
    const size_t at = blocks.size();
    blocks.resize(at + 8 + 2 * here.size());
    put32(blocks, at, page);
    put32(blocks, at + 4, static_cast<u32>(8 + 2 * here.size()));
    for (size_t k = 0; k < here.size(); k++)
      put16(blocks, at + 8 + 2 * k, here[k] ? (3u << 12 | (here[k] & 0xFFF)) : 0);
  }
  put32(b, opt + 96 + 8 * 5, 0x3000);
  put32(b, opt + 100 + 8 * 5, static_cast<u32>(blocks.size()));
  struct {
    const char* name;
    u32 rva;
    u32 characteristics;
    const std::vector<uint8_t>& bytes;
  } sections[] = {{".text", 0x1000, 0x60000020, text},
                  {".rdata", 0x2000, 0x40000040, rdata},
                  {".reloc", 0x3000, 0x42000040, blocks}};
  for (u32 i = 0; i < 3; i++) {
    const u32 h = opt + 0xE0 + 40 * i, raw = 0x200 * (i + 1);
    std::memcpy(&b[h], sections[i].name, strlen(sections[i].name));
    put32(b, h + 8, 0x200);
    put32(b, h + 12, sections[i].rva);
    put32(b, h + 16, 0x200);
    put32(b, h + 20, raw);
    put32(b, h + 36, sections[i].characteristics);
    std::memcpy(&b[raw], sections[i].bytes.data(), std::min<size_t>(0x200, sections[i].bytes.size()));
  }
  return b;
}

}  // namespace

// The layout gcc leaves at the end of .text: a constructor list
// (0xFFFFFFFF, pointers, 0) the start-up code walks, then zero padding.
// Their addresses are relocated words, but only the constructor the list
// holds, a callback passed as `push offset f` and a pointer in a data
// table are code.
TEST(Discovery, ConstructorListsAndPaddingAreDataWhileCodePointersAreEntries) {
  std::vector<uint8_t> text(0x200, 0);
  const uint8_t code[] = {
      0x68, 0x20, 0x10, 0x40, 0x00,        // push offset callback
      0xA1, 0x50, 0x10, 0x40, 0x00,        // mov eax, [ctor_list]
      0xBB, 0x50, 0x10, 0x40, 0x00,        // mov ebx, offset ctor_list
      0xB9, 0x60, 0x10, 0x40, 0x00,        // mov ecx, offset padding
      0x8B, 0x15, 0x00, 0x20, 0x40, 0x00,  // mov edx, [table]
      0xFF, 0xD2,                          // call edx
      0x58, 0xC3,                          // pop eax; ret
  };
  std::memcpy(&text[0], code, sizeof code);
  const uint8_t callback[] = {0xB8, 0x01, 0x00, 0x00, 0x00, 0xC3};  // mov eax, 1; ret
  std::memcpy(&text[0x20], callback, sizeof callback);
  std::memcpy(&text[0x30], callback, sizeof callback);  // the function the table names
  text[0x40] = 0xC3;                                    // the constructor
  const uint8_t ctor_list[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x40, 0x10, 0x40, 0x00, 0, 0, 0, 0};
  std::memcpy(&text[0x50], ctor_list, sizeof ctor_list);
  std::vector<uint8_t> rdata(0x200, 0);
  put32(rdata, 0, kBase + 0x1030);
  const PeImage pe = pe_read(image(text, rdata, {0x1001, 0x1006, 0x100B, 0x1010, 0x1016, 0x1054, 0x2000}));

  const CodeMap map = discover_code(pe);
  for (u32 f : {0x401020u, 0x401030u, 0x401040u}) {
    EXPECT_TRUE(map.entries.count(f)) << std::hex << f;
    EXPECT_TRUE(map.pointed.count(f)) << std::hex << f;
  }
  EXPECT_EQ(map.insns.lower_bound(0x401050), map.insns.end()) << "the list or the padding was decoded";
  EXPECT_TRUE(map.bad.empty());
  EXPECT_EQ(map.pointed.size(), 3u);
}
