// The translator's stages: chunk planning and writing the module sources.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "emit.h"

struct TranslateOptions {
  std::string input;     // the PE file, for comments
  std::string out_dir;   // where the sources go
  std::string stem;      // file stem of the .em module ("vexon32")
  std::string name;      // registered module name ("VEXON32")
  u32 files;             // number of code files to spread the chunks over
  u32 chunk_limit;       // instructions after which a chunk ends at the next function
};

std::vector<ChunkPlan> plan_chunks(const PeImage& pe, const CodeMap& map, u32 limit);
// For each function of a group that calls itself in a cycle through two or
// more functions (direct calls only): the address of the group's last
// function.
std::map<u32, u32> recursion_group_ends(const CodeMap& map);
// Flag groups (D_CF, D_OF, D_SZP) each instruction of `chunk` may read
// before they are set again, by guest address; `exits` says what a way out
// of the chunk's known flow reads (ExitFlags{}: nothing).
std::map<u32, unsigned> flag_liveness(const CodeMap& map, const ChunkPlan& chunk, const ExitFlags& exits);
// What the ways out of the module's chunks store (ExitFlags): `any` is what
// some entry reads before setting it, with nothing read on the ways out.
ExitFlags module_exit_flags(const PeImage& pe, const CodeMap& map, const std::vector<ChunkPlan>& chunks,
                            const EntryRefs& refs);
// Whether a jump table's block starts at its jump and is reached only from
// inside its chunk: its locals then hold every flag, so the block's way to
// the look-up stores them, and only the flags its cases read need to be in
// the frame when it starts.
bool jump_table_keeps_flags(const CodeMap& map, const Insn& in);
// Every entry address of the module: its chunk and slot.
EntryRefs entry_refs(const CodeMap& map, const std::vector<ChunkPlan>& chunks);
void emit_chunk(const PeImage& pe, const CodeMap& map, const EntryRefs& refs, const ExitFlags& exits,
                const ChunkPlan& chunk, std::string& out, std::map<std::string, int>& untranslated,
                std::string& fault_rows);

// Whether the bytes of section `s` are copied into the module (debug
// information and relocations are not; emit_module.cpp says why).
bool section_at_run_time(const PeImage& pe, const PeSection& s);
// Writes <stem>_module.cpp (descriptor and routes), <stem>_data.cpp
// (section bytes) and <stem>_code<N>.cpp for N in [0, files). Returns the
// flag groups some entry reads (ExitFlags::any).
unsigned write_module(const PeImage& pe, const CodeMap& map, const std::vector<ChunkPlan>& chunks,
                      const TranslateOptions& opt, std::map<std::string, int>& untranslated);
