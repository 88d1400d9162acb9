// Code discovery on a hand-built image: which relocated words that point
// into .text become code entries.
#include <gtest/gtest.h>

#include <cstring>

#include "code_map.h"
#include "translate.h"
#include "hand_pe.h"

namespace {

void put32(std::vector<uint8_t>& b, u32 at, u32 v) {
  for (int i = 0; i < 4; i++) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
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
  put32(rdata, 0, kHandBase + 0x1030);
  const PeImage pe = pe_read(hand_pe({{".text", 0x1000, 0x60000020, text}, {".rdata", 0x2000, 0x40000040, rdata}},
                                     {0x1001, 0x1006, 0x100B, 0x1010, 0x1016, 0x1054, 0x2000}));

  const CodeMap map = discover_code(pe);
  for (u32 f : {0x401020u, 0x401030u, 0x401040u}) {
    EXPECT_TRUE(map.entries.count(f)) << std::hex << f;
    EXPECT_TRUE(map.pointed.count(f)) << std::hex << f;
  }
  EXPECT_EQ(map.insns.lower_bound(0x401050), map.insns.end()) << "the list or the padding was decoded";
  EXPECT_TRUE(map.bad.empty());
  EXPECT_EQ(map.pointed.size(), 3u);
}

// An EXE linked without base relocations: a callback pushed as an
// immediate, a pointer in a data table and the cases of a switch table
// (unaligned, in .text) are still found, by their values; a value in the
// debug information is not taken for a pointer.
TEST(Discovery, ImageWithoutRelocationsFindsCodePointersByValue) {
  std::vector<uint8_t> text(0x200, 0);
  const uint8_t code[] = {
      0x68, 0x20, 0x10, 0x40, 0x00,              // push offset callback
      0x8B, 0x15, 0x00, 0x20, 0x40, 0x00,        // mov edx, [table]
      0xFF, 0xD2,                                // call edx
      0x83, 0xF8, 0x01,                          // cmp eax, 1
      0x77, 0x07,                                // ja done
      0xFF, 0x24, 0x85, 0x61, 0x10, 0x40, 0x00,  // jmp [eax*4 + cases]
      0x58, 0xC3,                                // done: pop eax; ret
  };
  std::memcpy(&text[0], code, sizeof code);
  const uint8_t callback[] = {0xB8, 0x01, 0x00, 0x00, 0x00, 0xC3};  // mov eax, 1; ret
  std::memcpy(&text[0x20], callback, sizeof callback);
  std::memcpy(&text[0x30], callback, sizeof callback);
  text[0x40] = 0x58, text[0x41] = 0xC3;  // the cases
  text[0x48] = 0x58, text[0x49] = 0xC3;
  std::memcpy(&text[0x50], callback, sizeof callback);  // named only by the debug information
  std::vector<uint8_t> rdata(0x200, 0);
  put32(rdata, 0, kHandBase + 0x1030);
  put32(text, 0x61, kHandBase + 0x1040);  // the cases, unaligned in .text
  put32(text, 0x65, kHandBase + 0x1048);
  std::vector<uint8_t> debug(0x200, 0);
  put32(debug, 8, kHandBase + 0x1050);
  const PeImage pe = pe_read(hand_pe({{".text", 0x1000, 0x60000020, text},
                                      {".rdata", 0x2000, 0x40000040, rdata},
                                      {".debug_info", 0x3000, 0x42000040, debug}},
                                     {}));
  ASSERT_TRUE(pe.relocs.empty());

  const CodeMap map = discover_code(pe);
  EXPECT_TRUE(map.pointed.count(0x401020));
  EXPECT_TRUE(map.pointed.count(0x401030));
  ASSERT_TRUE(map.jump_tables.count(0x401012));
  EXPECT_EQ(map.jump_tables.at(0x401012).targets, (std::vector<u32>{0x401040, 0x401048}));
  EXPECT_FALSE(map.insns.count(0x401050));
  EXPECT_TRUE(map.bad.empty());
}

// Two functions that call each other stay in one chunk, even with a limit
// that would otherwise end a chunk at every function; a function outside
// the cycle still starts a chunk of its own.
TEST(ChunkPlan, MutuallyRecursiveFunctionsShareAChunk) {
  std::vector<uint8_t> text(0x200, 0xCC);
  const uint8_t code[] = {0xE8, 0x0B, 0x00, 0x00, 0x00,  // 401000: call a
                          0xE8, 0x26, 0x00, 0x00, 0x00,  // 401005: call c
                          0xC3};
  const uint8_t a[] = {0xE8, 0x0B, 0x00, 0x00, 0x00, 0xC3};  // 401010 a: call b; ret
  const uint8_t b[] = {0xE8, 0xEB, 0xFF, 0xFF, 0xFF, 0xC3};  // 401020 b: call a; ret
  std::memcpy(&text[0], code, sizeof code);
  std::memcpy(&text[0x10], a, sizeof a);
  std::memcpy(&text[0x20], b, sizeof b);
  text[0x30] = 0xC3;  // c
  const PeImage pe = pe_read(hand_pe({{".text", 0x1000, 0x60000020, text}}, {}));
  const CodeMap map = discover_code(pe);
  std::vector<u32> starts;
  for (const ChunkPlan& c : plan_chunks(pe, map, 1)) starts.push_back(c.start);
  EXPECT_EQ(starts, (std::vector<u32>{0x401000, 0x401010, 0x401030}));
}
