// The PE reader on real mingw images, on every truncation and on
// corrupted headers and tables: it either reads the image or raises
// PeError with a reason, never anything else.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <iterator>

#include "code_map.h"
#include "hand_pe.h"
#include "translate.h"

namespace {

std::vector<uint8_t> load(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> dll() { return load(std::string(TR_TEST_DATA) + "/data/trdll.dll"); }
std::vector<uint8_t> exe() { return load(std::string(TR_TEST_DATA) + "/data/traccept.exe"); }

u32 word(const std::vector<uint8_t>& b, u32 at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24; }
void set_word(std::vector<uint8_t>& b, u32 at, u32 v) {
  for (int i = 0; i < 4; i++) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Runs everything the translator does with an image, short of writing files.
void translate_in_memory(const std::vector<uint8_t>& b) {
  PeImage pe = pe_read(b);
  CodeMap map = discover_code(pe);
  std::map<std::string, int> untranslated;
  const std::vector<ChunkPlan> chunks = plan_chunks(pe, map, 600);
  const EntryRefs refs = entry_refs(map, chunks);
  const ExitFlags exits = module_exit_flags(pe, map, chunks, refs);
  for (const ChunkPlan& c : chunks) {
    std::string out, fault_rows;
    emit_chunk(pe, map, refs, exits, c, out, untranslated, fault_rows);
  }
}

std::string rejection(const std::vector<uint8_t>& b) {
  try {
    pe_read(b);
  } catch (const PeError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(PeReader, ReadsADllWithNamedAndOrdinalOnlyExports) {
  PeImage pe = pe_read(dll());
  EXPECT_TRUE(pe.dll);
  EXPECT_EQ(pe.image_base, 0x10000000u);
  ASSERT_EQ(pe.exports.size(), 3u);
  int named = 0, ordinal_only = 0;
  for (const PeExport& e : pe.exports) (e.name.empty() ? ordinal_only : named)++;
  EXPECT_EQ(named, 2);
  EXPECT_EQ(ordinal_only, 1);
  for (const PeExport& e : pe.exports) EXPECT_TRUE(pe_is_code(pe, e.rva)) << e.name;
  EXPECT_NE(pe.entry_rva, 0u);
  EXPECT_FALSE(pe.relocs.empty());
}

TEST(PeReader, ReadsAnExecutableImportingByNameAndOrdinal) {
  PeImage pe = pe_read(exe());
  EXPECT_FALSE(pe.dll);
  EXPECT_EQ(pe.image_base, 0x400000u);
  ASSERT_EQ(pe.imports.size(), 2u);
  const PeImportDll& kernel = pe.imports[0].dll == "KERNEL32.dll" ? pe.imports[0] : pe.imports[1];
  const PeImportDll& guest = pe.imports[0].dll == "TRDLL.dll" ? pe.imports[0] : pe.imports[1];
  EXPECT_EQ(kernel.functions.size(), 3u);
  bool by_ordinal = false;
  for (const PeImport& f : guest.functions) by_ordinal |= f.name.empty() && f.ordinal == 2;
  EXPECT_TRUE(by_ordinal);
  // Every relocated word of the image lies inside it.
  for (u32 r : pe.relocs) EXPECT_LE(r + 4, pe.image_size);
}

TEST(PeReader, DiscoversCodeFromEntryExportsAndCalls) {
  PeImage pe = pe_read(dll());
  CodeMap map = discover_code(pe);
  EXPECT_TRUE(map.functions.count(pe.image_base + pe.entry_rva));
  for (const PeExport& e : pe.exports) EXPECT_TRUE(map.insns.count(pe.image_base + e.rva));
  EXPECT_TRUE(map.bad.empty());
}

TEST(PeReader, EveryTruncationIsRejectedOrReadWithoutCrashing) {
  for (const std::vector<uint8_t>& image : {dll(), exe()}) {
    for (size_t n = 0; n < image.size(); n++) {
      std::vector<uint8_t> b(image.begin(), image.begin() + static_cast<long>(n));
      try {
        translate_in_memory(b);
      } catch (const PeError&) {
      }
    }
    // Cut inside the headers: always an error.
    EXPECT_NE(rejection(std::vector<uint8_t>(image.begin(), image.begin() + 100)), "");
  }
}

TEST(PeReader, CorruptedHeadersAreRejectedWithAReason) {
  const std::vector<uint8_t> good = dll();
  const u32 pe_off = word(good, 0x3C), opt = pe_off + 24;
  struct Corruption {
    const char* what;
    u32 at, value;
    const char* reason;
  } cases[] = {
      {"signature", pe_off, 0x12345678, "no PE signature"},
      {"PE offset", 0x3C, 0xFFFFFFF0, "truncated file"},
      {"machine", pe_off + 4, 0x8664, "not an i386 image"},
      {"image size", opt + 56, 0xF0000000, "unreasonable image size"},
      {"alignment", opt + 32, 0x1001, "bad section alignment"},
      {"image base", opt + 28, 0x80000000, "image does not fit below 2 GiB"},
      {"entry point", opt + 16, 0x00FFFFFF, "entry point outside the code"},
  };
  for (const Corruption& c : cases) {
    std::vector<uint8_t> b = good;
    if (c.at == pe_off + 4)
      b[c.at] = static_cast<uint8_t>(c.value), b[c.at + 1] = static_cast<uint8_t>(c.value >> 8);
    else
      set_word(b, c.at, c.value);
    EXPECT_EQ(rejection(b), c.reason) << c.what;
  }
}

TEST(PeReader, CorruptedTablesAreRejected) {
  const std::vector<uint8_t> good = exe();
  const u32 opt = word(good, 0x3C) + 24;
  const u32 dirs = opt + 96;
  // The import, relocation and export directories pointed outside the image.
  for (u32 dir : {1u, 5u}) {
    std::vector<uint8_t> b = good;
    set_word(b, dirs + 8 * dir, 0x7FFFFF00);
    EXPECT_NE(rejection(b), "") << dir;
  }
  std::vector<uint8_t> b = dll();
  set_word(b, word(b, 0x3C) + 24 + 96, 0x7FFFFF00);
  EXPECT_NE(rejection(b), "");
}

// Inputs the fuzzer once crashed the reader with; each is kept here.
TEST(PeReader, FuzzFoundInputsDoNotCrash) {
  const std::string dir = std::string(TR_TEST_DATA) + "/crashers";
  DIR* d = opendir(dir.c_str());
  ASSERT_NE(d, nullptr);
  int count = 0;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    count++;
    try {
      translate_in_memory(load(dir + "/" + e->d_name));
    } catch (const PeError&) {
    }
  }
  closedir(d);
  SUCCEED() << count << " inputs";
}

// Debug information (named through the string table, as gcc names its
// .debug_* sections) and the relocations are not copied into the module;
// a discardable section the program holds an address of is.
TEST(PeReader, OnlyRunTimeSectionsAreCopied) {
  std::vector<uint8_t> text(0x200, 0x90), bytes(0x200, 0xAB);
  text[0] = 0xA1;  // mov eax, [.debug_held]
  set_word(text, 1, kHandBase + 0x4000);
  const PeImage pe = pe_read(hand_pe({{".text", 0x1000, 0x60000020, text},
                                      {".rdata", 0x2000, 0x40000040, bytes},
                                      {".debug_info", 0x3000, 0x42000040, bytes},
                                      {".debug_held", 0x4000, 0x42000040, bytes}},
                                     {0x1001}));
  ASSERT_EQ(pe.sections.size(), 5u);
  EXPECT_EQ(pe.sections[2].name, ".debug_info");
  EXPECT_EQ(pe.sections[4].name, ".reloc");
  EXPECT_TRUE(section_at_run_time(pe, pe.sections[0]));
  EXPECT_TRUE(section_at_run_time(pe, pe.sections[1]));
  EXPECT_FALSE(section_at_run_time(pe, pe.sections[2]));
  EXPECT_TRUE(section_at_run_time(pe, pe.sections[3]));
  EXPECT_FALSE(section_at_run_time(pe, pe.sections[4]));

  std::vector<uint8_t> b =
      hand_pe({{".text", 0x1000, 0x60000020, text}, {".debug_info", 0x2000, 0x42000040, bytes}}, {});
  b.resize(b.size() - 4);  // the string table cut short
  EXPECT_NE(rejection(b).find("section name /4"), std::string::npos) << rejection(b);
}
