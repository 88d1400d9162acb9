// x86 PE -> C++ translator: reads a PE32 executable or DLL, finds its code
// and writes the sources of its .em module.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "translate.h"

namespace {

void usage() {
  fprintf(stderr,
          "usage: translator INPUT --out-dir DIR --stem STEM [--name NAME] [--files N] [--chunk-limit N]\n"
          "Writes DIR/STEM_module.cpp, DIR/STEM_data.cpp and DIR/STEM_code<k>.cpp for k < N.\n");
  exit(2);
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  TranslateOptions opt{};
  opt.files = 4;
  opt.chunk_limit = 600;
  for (int i = 1; i < argc; i++) {
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) usage();
      return argv[++i];
    };
    if (!strcmp(argv[i], "--out-dir"))
      opt.out_dir = value();
    else if (!strcmp(argv[i], "--stem"))
      opt.stem = value();
    else if (!strcmp(argv[i], "--name"))
      opt.name = value();
    else if (!strcmp(argv[i], "--files"))
      opt.files = static_cast<u32>(atoi(value().c_str()));
    else if (!strcmp(argv[i], "--chunk-limit"))
      opt.chunk_limit = static_cast<u32>(atoi(value().c_str()));
    else if (argv[i][0] == '-' || !opt.input.empty())
      usage();
    else
      opt.input = argv[i];
  }
  if (opt.input.empty() || opt.out_dir.empty() || opt.stem.empty() || opt.files == 0 || opt.chunk_limit == 0) usage();
  if (opt.name.empty()) opt.name = upper(opt.stem);

  try {
    std::ifstream f(opt.input, std::ios::binary);
    if (!f) throw PeError("cannot open the file");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    PeImage pe = pe_read(bytes);
    CodeMap map = discover_code(pe);
    std::vector<ChunkPlan> chunks = plan_chunks(pe, map, opt.chunk_limit);
    std::map<std::string, int> untranslated;
    const unsigned entry_reads = write_module(pe, map, chunks, opt, untranslated);
    printf("%s: %zu instructions in %zu chunks, %zu entry addresses, %zu undecodable addresses\n",
           opt.input.c_str(), map.insns.size(), chunks.size(), map.entries.size(), map.bad.size());
    // Flags an entry reads are stored on every way out of every chunk.
    if (entry_reads)
      printf("  flags read at an entry:%s%s%s\n", entry_reads & D_CF ? " CF" : "", entry_reads & D_OF ? " OF" : "",
             entry_reads & D_SZP ? " SF ZF PF" : "");
    for (const auto& [mnemonic, count] : untranslated) printf("  not translated: %s (%d)\n", mnemonic.c_str(), count);
  } catch (const PeError& e) {
    fprintf(stderr, "translator: %s: %s\n", opt.input.c_str(), e.what());
    return 1;
  }
  return 0;
}
