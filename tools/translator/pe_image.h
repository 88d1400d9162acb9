// A PE32 image read into memory: headers, sections laid out at their RVAs,
// base relocations, imports and exports. Every field read from the file is
// bounds-checked; a malformed file raises PeError with a readable reason.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

typedef uint32_t u32;

struct PeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct PeSection {
  std::string name;  // long names resolved through the string table
  u32 rva;
  u32 virtual_size;  // bytes the section occupies in the image
  u32 raw_size;      // bytes of it that come from the file
  u32 characteristics;
  bool code;
};

struct PeImport {
  u32 ordinal;       // used when name is empty
  std::string name;  // empty for an import by ordinal
};

struct PeImportDll {
  std::string dll;
  u32 iat_rva;  // first import slot
  std::vector<PeImport> functions;
};

struct PeExport {
  u32 ordinal;  // biased ordinal, as importers name it
  std::string name;  // empty when exported by ordinal only
  u32 rva;
};

struct PeImage {
  bool dll;
  u32 image_base;
  u32 entry_rva;  // 0 when the image has none
  u32 image_size;
  u32 section_alignment;
  std::vector<PeSection> sections;
  std::vector<uint8_t> image;  // image_size bytes, sections at their RVAs
  std::vector<u32> relocs;     // RVAs of 32-bit absolute words, ascending
  bool has_reloc_dir;
  u32 reloc_dir_rva;  // where the base relocations are, when there are
  std::vector<PeImportDll> imports;
  std::vector<PeExport> exports;
};

// Reads a PE32 (i386) image from `bytes`. Throws PeError.
PeImage pe_read(const std::vector<uint8_t>& bytes);

// The section that holds `rva`, or null.
const PeSection* pe_section_at(const PeImage& pe, u32 rva);
// True when `rva` lies in a code section.
bool pe_is_code(const PeImage& pe, u32 rva);
// The little-endian word at `rva`; 0 outside the image.
u32 pe_word(const PeImage& pe, u32 rva);
// An image without base relocations: the loader never moves it, and its
// absolute addresses are found by their values alone.
inline bool pe_fixed(const PeImage& pe) { return pe.relocs.empty(); }
