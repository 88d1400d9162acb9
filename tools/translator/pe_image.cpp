// PE32 reader. The file is never trusted: every offset and count is checked
// against the bytes actually present before it is used.
#include "pe_image.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr u32 kMaxImageSize = 256u << 20;
constexpr u32 kMaxNameLength = 4096;
constexpr u32 kMaxEntries = 1u << 20;

[[noreturn]] void fail(const std::string& why) { throw PeError(why); }

u32 read16(const std::vector<uint8_t>& b, u32 off) {
  if (off > b.size() || b.size() - off < 2) fail("truncated file");
  return b[off] | b[off + 1] << 8;
}
u32 read32(const std::vector<uint8_t>& b, u32 off) {
  if (off > b.size() || b.size() - off < 4) fail("truncated file");
  return b[off] | b[off + 1] << 8 | b[off + 2] << 16 | static_cast<u32>(b[off + 3]) << 24;
}

// Words and strings of the laid-out image, by RVA.
u32 img32(const PeImage& pe, u32 rva, const char* what) {
  if (rva > pe.image.size() || pe.image.size() - rva < 4) fail(std::string(what) + " outside the image");
  return read32(pe.image, rva);
}
u32 img16(const PeImage& pe, u32 rva, const char* what) {
  if (rva > pe.image.size() || pe.image.size() - rva < 2) fail(std::string(what) + " outside the image");
  return read16(pe.image, rva);
}
std::string img_string(const PeImage& pe, u32 rva, const char* what) {
  std::string s;
  for (u32 i = 0;; i++) {
    if (rva + i < rva || rva + i >= pe.image.size()) fail(std::string(what) + " runs outside the image");
    char c = static_cast<char>(pe.image[rva + i]);
    if (!c) break;
    if (i >= kMaxNameLength) fail(std::string(what) + " too long");
    s += c;
  }
  return s;
}

// A section's name: up to eight bytes in its header, or, for a longer one
// ("/4": gcc's .debug_* sections), the string at that offset of the COFF
// string table, which follows the symbol table.
std::string section_name(const std::vector<uint8_t>& b, u32 coff, u32 header) {
  std::string name(reinterpret_cast<const char*>(&b[header]), strnlen(reinterpret_cast<const char*>(&b[header]), 8));
  if (name.size() < 2 || name[0] != '/' || name.find_first_not_of("0123456789", 1) != std::string::npos) return name;
  const u32 symbols = read32(b, coff + 8), count = read32(b, coff + 12);
  const uint64_t at = symbols + 18ull * count + std::stoul(name.substr(1));
  if (symbols == 0 || count > kMaxEntries || at >= b.size()) fail("section name " + name + " outside the string table");
  const char* text = reinterpret_cast<const char*>(&b[at]);
  const size_t n = strnlen(text, std::min<size_t>(b.size() - at, kMaxNameLength + 1));
  if (n == b.size() - at || n > kMaxNameLength) fail("section name " + name + " runs outside the file");
  return std::string(text, n);
}

struct DataDir {
  u32 rva, size;
};

void read_relocs(PeImage& pe, DataDir dir) {
  pe.has_reloc_dir = dir.rva != 0 && dir.size != 0;
  pe.reloc_dir_rva = dir.rva;
  if (!pe.has_reloc_dir) return;
  if (dir.rva > pe.image_size || pe.image_size - dir.rva < dir.size) fail("relocation directory outside the image");
  u32 pos = dir.rva, end = dir.rva + dir.size;
  while (end - pos >= 8) {
    u32 page = img32(pe, pos, "relocation block");
    u32 size = img32(pe, pos + 4, "relocation block");
    if (size == 0 && page == 0) break;
    if (size < 8 || size > end - pos) fail("bad relocation block size");
    for (u32 e = pos + 8; e + 2 <= pos + size; e += 2) {
      u32 entry = img16(pe, e, "relocation entry");
      u32 type = entry >> 12;
      if (type == 0) continue;  // padding
      if (type != 3) fail("unsupported relocation type " + std::to_string(type));
      u32 rva = page + (entry & 0xFFF);
      if (rva < page || rva > pe.image_size - 4 || pe.image_size < 4) fail("relocation outside the image");
      pe.relocs.push_back(rva);
      if (pe.relocs.size() > kMaxEntries) fail("too many relocations");
    }
    pos += size;
  }
  std::sort(pe.relocs.begin(), pe.relocs.end());
  pe.relocs.erase(std::unique(pe.relocs.begin(), pe.relocs.end()), pe.relocs.end());
}

void read_imports(PeImage& pe, DataDir dir) {
  if (dir.rva == 0) return;
  for (u32 d = dir.rva;; d += 20) {
    if (pe.imports.size() > 4096) fail("too many imported DLLs");
    u32 lookup = img32(pe, d, "import descriptor");
    u32 name = img32(pe, d + 12, "import descriptor");
    u32 iat = img32(pe, d + 16, "import descriptor");
    if (lookup == 0 && name == 0 && iat == 0) break;
    if (name == 0 || iat == 0) fail("import descriptor without name or slots");
    PeImportDll dll;
    dll.dll = img_string(pe, name, "imported DLL name");
    dll.iat_rva = iat;
    if (iat & 3) fail("import slots not word aligned");
    u32 table = lookup ? lookup : iat;
    for (u32 k = 0;; k++) {
      if (k > kMaxEntries) fail("too many imports");
      u32 v = img32(pe, table + 4 * k, "import lookup table");
      if (v == 0) break;
      img32(pe, iat + 4 * k, "import slot");
      PeImport f{0, {}};
      if (v & 0x80000000u) {
        f.ordinal = v & 0xFFFF;
        if (f.ordinal == 0) fail("import by ordinal 0");
      } else {
        f.name = img_string(pe, v + 2, "imported function name");
        if (f.name.empty()) fail("empty imported function name");
      }
      dll.functions.push_back(f);
    }
    pe.imports.push_back(std::move(dll));
  }
}

void read_exports(PeImage& pe, DataDir dir) {
  if (dir.rva == 0 || dir.size == 0) return;
  u32 base = img32(pe, dir.rva + 16, "export directory");
  u32 count = img32(pe, dir.rva + 20, "export directory");
  u32 names = img32(pe, dir.rva + 24, "export directory");
  u32 functions = img32(pe, dir.rva + 28, "export directory");
  u32 name_table = img32(pe, dir.rva + 32, "export directory");
  u32 ordinal_table = img32(pe, dir.rva + 36, "export directory");
  if (count > kMaxEntries || names > kMaxEntries) fail("too many exports");
  std::vector<std::string> name_of(count);
  for (u32 i = 0; i < names; i++) {
    u32 index = img16(pe, ordinal_table + 2 * i, "export ordinal table");
    if (index >= count) fail("export name refers to no function");
    name_of[index] = img_string(pe, img32(pe, name_table + 4 * i, "export name table"), "export name");
  }
  for (u32 i = 0; i < count; i++) {
    u32 rva = img32(pe, functions + 4 * i, "export address table");
    if (rva == 0) continue;
    if (rva - dir.rva < dir.size) continue;  // a forwarder: no code of ours
    if (rva >= pe.image_size) fail("export outside the image");
    u32 ordinal = base + i;
    if (ordinal == 0 || ordinal > 0xFFFF) fail("export ordinal out of range");
    pe.exports.push_back({ordinal, name_of[i], rva});
  }
}

}  // namespace

PeImage pe_read(const std::vector<uint8_t>& b) {
  PeImage pe{};
  if (b.size() < 64 || b[0] != 'M' || b[1] != 'Z') fail("not an MZ executable");
  u32 pe_off = read32(b, 0x3C);
  if (read32(b, pe_off) != 0x00004550) fail("no PE signature");
  u32 coff = pe_off + 4;
  if (read16(b, coff) != 0x14C) fail("not an i386 image");
  u32 section_count = read16(b, coff + 2);
  u32 opt_size = read16(b, coff + 16);
  pe.dll = (read16(b, coff + 18) & 0x2000) != 0;
  u32 opt = coff + 20;
  if (read16(b, opt) != 0x10B) fail("not a PE32 image");
  if (opt_size < 96) fail("optional header too short");
  pe.entry_rva = read32(b, opt + 16);
  pe.image_base = read32(b, opt + 28);
  pe.section_alignment = read32(b, opt + 32);
  pe.image_size = read32(b, opt + 56);
  u32 header_size = read32(b, opt + 60);
  u32 dir_count = read32(b, opt + 92);
  if (pe.image_size == 0 || pe.image_size > kMaxImageSize) fail("unreasonable image size");
  if (pe.section_alignment == 0 || (pe.section_alignment & (pe.section_alignment - 1))) fail("bad section alignment");
  if (static_cast<uint64_t>(pe.image_base) + pe.image_size > 0x80000000ull) fail("image does not fit below 2 GiB");
  if (pe.image_base & 0xFFFF) fail("image base not 64 KiB aligned");
  DataDir dirs[16] = {};
  for (u32 i = 0; i < dir_count && i < 16 && 96 + 8 * i + 8 <= opt_size; i++)
    dirs[i] = {read32(b, opt + 96 + 8 * i), read32(b, opt + 100 + 8 * i)};

  pe.image.assign(pe.image_size, 0);
  std::memcpy(pe.image.data(), b.data(), std::min<size_t>({header_size, b.size(), pe.image_size}));
  if (section_count == 0 || section_count > 96) fail("bad section count");
  u32 table = opt + opt_size;
  for (u32 i = 0; i < section_count; i++) {
    u32 h = table + 40 * i;
    read32(b, h + 36);
    PeSection s;
    s.name = section_name(b, coff, h);
    u32 vsize = read32(b, h + 8);
    s.rva = read32(b, h + 12);
    u32 raw_size = read32(b, h + 16);
    u32 raw_off = read32(b, h + 20);
    s.characteristics = read32(b, h + 36);
    s.code = (s.characteristics & 0x20000020u) != 0;
    if (vsize == 0) vsize = raw_size;
    if (s.rva == 0 || s.rva >= pe.image_size) fail("section " + s.name + " outside the image");
    u32 room = pe.image_size - s.rva;
    u32 aligned = (vsize + pe.section_alignment - 1) & ~(pe.section_alignment - 1);
    if (aligned < vsize) aligned = vsize;
    s.virtual_size = std::min(aligned, room);
    s.raw_size = std::min(raw_size, std::min(vsize, room));
    if (s.raw_size) {
      if (raw_off > b.size() || b.size() - raw_off < s.raw_size) fail("section " + s.name + " truncated");
      std::memcpy(&pe.image[s.rva], &b[raw_off], s.raw_size);
    }
    for (const PeSection& o : pe.sections)
      if (s.rva < o.rva + o.virtual_size && o.rva < s.rva + s.virtual_size) fail("sections overlap");
    pe.sections.push_back(s);
  }
  std::sort(pe.sections.begin(), pe.sections.end(), [](const PeSection& x, const PeSection& y) { return x.rva < y.rva; });
  if (pe.entry_rva && !pe_is_code(pe, pe.entry_rva)) fail("entry point outside the code");
  read_relocs(pe, dirs[5]);
  read_imports(pe, dirs[1]);
  read_exports(pe, dirs[0]);
  return pe;
}

const PeSection* pe_section_at(const PeImage& pe, u32 rva) {
  for (const PeSection& s : pe.sections)
    if (rva - s.rva < s.virtual_size) return &s;
  return nullptr;
}

bool pe_is_code(const PeImage& pe, u32 rva) {
  const PeSection* s = pe_section_at(pe, rva);
  return s && s->code;
}

u32 pe_word(const PeImage& pe, u32 rva) {
  if (rva > pe.image.size() || pe.image.size() - rva < 4) return 0;
  return read32(pe.image, rva);
}
