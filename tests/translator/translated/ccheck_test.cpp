// Translated C against the native build of the same source.
#include <gtest/gtest.h>

#include "../../../guest/ccheck/ctests.h"
#include "guest_call.h"

TEST(TranslatedC, MatchesNativeBuild) {
  ModuleInfo* mi = load_translated("CCHECK.em.dll");
  ASSERT_NE(mi, nullptr);
  const u32 guest = export_address(mi, "c_results");
  ASSERT_NE(guest, 0u);
  run_ctests();
  const u32* translated = reinterpret_cast<const u32*>(static_cast<uintptr_t>(guest));
  const char* const names[C_RESULTS] = {"sort",     "crc32",     "fnv1a",   "64-bit low", "64-bit high", "switch",
                                        "pointers", "recursion", "structs", "strings",    "bits",        "float",
                                        "end"};
  for (int i = 0; i < C_RESULTS; i++) EXPECT_EQ(translated[i], c_results[i]) << names[i];
}
