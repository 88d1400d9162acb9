// Mutation fuzzer for the PE reader and code discovery: flips, overwrites
// and truncates a valid image and runs the reader on it. Before each try the
// input is written to OUT_DIR/current.bin, so an input that crashes the
// process is left behind to be kept as a test.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "code_map.h"
#include "translate.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: pe_fuzz SEED_PE OUT_DIR ITERATIONS RANDOM_SEED\n");
    return 2;
  }
  std::ifstream f(argv[1], std::ios::binary);
  const std::vector<uint8_t> original((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const std::string current = std::string(argv[2]) + "/current.bin";
  const long iterations = atol(argv[3]);
  std::mt19937 rng(static_cast<unsigned>(atol(argv[4])));
  long rejected = 0;
  for (long i = 0; i < iterations; i++) {
    std::vector<uint8_t> b = original;
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int k = 0; k < edits; k++) {
      const size_t at = rng() % b.size();
      switch (rng() % 5) {
        case 0: b[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
        case 1: b[at] = static_cast<uint8_t>(rng()); break;
        case 2:  // a word set to an interesting value
          if (at + 4 <= b.size()) {
            static const u32 kWords[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF, 0x10000, 0x1000};
            const u32 w = kWords[rng() % 8];
            for (int j = 0; j < 4; j++) b[at + j] = static_cast<uint8_t>(w >> (8 * j));
          }
          break;
        case 3: b.resize(at + 1); break;
        default: b[at] = 0; break;
      }
    }
    {
      std::ofstream o(current, std::ios::binary);
      o.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    try {
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
    } catch (const PeError&) {
      rejected++;
    }
  }
  printf("%ld inputs, %ld rejected, no crash\n", iterations, rejected);
  return 0;
}
