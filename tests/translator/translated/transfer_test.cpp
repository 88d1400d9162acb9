// Control transfers that leave the common path of generated code: host
// calls between chunks and their returns, returns that are not the RET of
// their call, rewritten jump tables, deep recursion and non-local exits.
// Each runs on the module translated with usual chunks and with tiny ones.
#include <gtest/gtest.h>

#include "guest_call.h"

namespace {

const char* const kModules[] = {"TRXFER.em.dll", "TRXFERS.em.dll"};

u32 run(ModuleInfo* mi, const char* name, std::initializer_list<u32> args) {
  return call_guest(mi, export_address(mi, name), args);
}

}  // namespace

TEST(ControlTransfer, ReturnsThatAreNotTheirCallsReturn) {
  for (const char* file : kModules) {
    ModuleInfo* mi = load_translated(file);
    ASSERT_NE(mi, nullptr) << file;
    EXPECT_EQ(run(mi, "xfer_rewritten_return", {}), 7u) << file;
    EXPECT_EQ(run(mi, "xfer_return_twice", {}), 9u) << file;
    EXPECT_EQ(run(mi, "xfer_call_middle", {}), 1085u) << file;
    EXPECT_EQ(run(mi, "xfer_indirect", {0}), 101u) << file;
    EXPECT_EQ(run(mi, "xfer_indirect", {1}), 201u) << file;
  }
}

TEST(ControlTransfer, JumpTableRewrittenAtRunTime) {
  for (const char* file : kModules) {
    ModuleInfo* mi = load_translated(file);
    ASSERT_NE(mi, nullptr) << file;
    for (u32 k = 0; k < 4; k++) EXPECT_EQ(run(mi, "xfer_switch", {k}), 10 + k) << file;
    EXPECT_EQ(run(mi, "xfer_switch", {4}), 99u) << file;
    const u32 case2 = run(mi, "xfer_case_address", {2}), case3 = run(mi, "xfer_case_address", {3});
    run(mi, "xfer_switch_patch", {2, case3});
    EXPECT_EQ(run(mi, "xfer_switch", {2}), 13u) << file;
    run(mi, "xfer_switch_patch", {2, case2});
    EXPECT_EQ(run(mi, "xfer_switch", {2}), 12u) << file;
    // A rewritten entry whose case reads the flags of the bound check.
    const u32 carry = run(mi, "xfer_case_address", {4});
    run(mi, "xfer_switch_patch", {1, carry});
    run(mi, "xfer_switch_patch", {3, carry});
    EXPECT_EQ(run(mi, "xfer_switch", {1}), 21u) << file;
    EXPECT_EQ(run(mi, "xfer_switch", {3}), 20u) << file;
    // The bound check's flags reach the cases of a jump that does not start its block.
    EXPECT_EQ(run(mi, "xfer_switch_late", {0}), 31u) << file;
    EXPECT_EQ(run(mi, "xfer_switch_late", {1}), 41u) << file;
    EXPECT_EQ(run(mi, "xfer_switch_late", {2}), 41u) << file;
    EXPECT_EQ(run(mi, "xfer_switch_late", {3}), 30u) << file;
    EXPECT_EQ(run(mi, "xfer_switch_late", {5}), 99u) << file;
    run(mi, "xfer_switch_patch", {1, run(mi, "xfer_case_address", {1})});
    run(mi, "xfer_switch_patch", {3, case3});
  }
}

// A compare's flags reach code that reads them only along some edges.
TEST(ControlTransfer, CompareFlagsAlongBranchEdges) {
  for (const char* file : kModules) {
    ModuleInfo* mi = load_translated(file);
    ASSERT_NE(mi, nullptr) << file;
    EXPECT_EQ(run(mi, "xfer_flag_edge", {1, 2}), 21u) << file;
    EXPECT_EQ(run(mi, "xfer_flag_edge", {2, 1}), 2u) << file;
    EXPECT_EQ(run(mi, "xfer_compare_sign", {1, 2}), 1u) << file;
    EXPECT_EQ(run(mi, "xfer_compare_sign", {0x80000000u, 1}), 0u) << file;
    EXPECT_EQ(run(mi, "xfer_compare_sign", {5, 5}), 0u) << file;
    // CF answered by a callee, read after its return (another chunk's).
    EXPECT_EQ(run(mi, "xfer_flag_answer", {}), 5u) << file;
  }
}

// Far deeper than the host stack could nest one host call per guest call.
TEST(ControlTransfer, RecursionDeeperThanTheHostStackAndNonLocalExits) {
  for (const char* file : kModules) {
    ModuleInfo* mi = load_translated(file);
    ASSERT_NE(mi, nullptr) << file;
    EXPECT_EQ(run(mi, "xfer_ping_pong", {100000}), 100000u) << file;
    EXPECT_EQ(run(mi, "xfer_sum_down", {50000}), 50000u * 50001u / 2) << file;
    EXPECT_EQ(run(mi, "xfer_long_exit", {5}), 82u) << file;
    EXPECT_EQ(run(mi, "xfer_long_exit", {20000}), 20077u) << file;
    // Still right after the exits left host calls behind.
    EXPECT_EQ(run(mi, "xfer_ping_pong", {50}), 50u) << file;
  }
}
