// Decoding from raw instruction bytes: prefixes, FWAIT, every ModRM, SIB
// and displacement form, unimplemented entries, abandoned instructions.
#include <string>

#include "fpu_memory.h"
#include "fpu_test_support.h"

extern std::string captured_log;

namespace {

std::string trace_text;
void capture(const char* text) { trace_text += text; }

class Decoder : public Fpu {
 protected:
  u32 value[4] = {0, 0x40200000u /* 2.5f */, 0, 0};
  void SetUp() override {
    Fpu::SetUp();
    trace_text.clear();
  }
  u32 operand() { return guest_addr(&value[1]); }
  // The value ST(0) must hold after loading 2.5f.
  void expect_loaded() {
    ASSERT_EQ(7u, fpu_state.top & 7);
    EXPECT_EXT(ext(0, 0x4000, 0xA000000000000000ull), *fpu_st(0));
  }
};

TEST_F(Decoder, WaitAndOperandSizePrefix) {
  Outcome r = run_bytes({0x9B});
  EXPECT_EQ(0, r.result);
  EXPECT_EQ(1u, r.advanced);
  r = run_bytes({0x66, 0x9B});
  EXPECT_EQ(2u, r.advanced);
  *fpu_st(0) = ext_one;
  r = run_bytes({0x66, 0xD9, 0xC0});  // FLD ST(0)
  EXPECT_EQ(0, r.result);
  EXPECT_EQ(3u, r.advanced);
  EXPECT_EXT(ext_one, *fpu_st(0));
  EXPECT_EQ(7u, fpu_state.top & 7);
}

TEST_F(Decoder, RegisterWithDisplacements) {
  Env env = {};
  env.EBP = operand() + 8;
  Outcome r = run_bytes({0xD9, 0x45, 0xF8}, env);  // FLD dword [EBP-8]
  EXPECT_EQ(3u, r.advanced);
  expect_loaded();
  fpu_reset();
  env = {};
  env.ESI = operand() - 0x12345;
  r = run_bytes({0xD9, 0x86, 0x45, 0x23, 0x01, 0x00}, env);  // FLD dword [ESI+0x12345]
  EXPECT_EQ(6u, r.advanced);
  expect_loaded();
  fpu_reset();
  env = {};
  env.EDI = operand();
  r = run_bytes({0xD9, 0x07}, env);  // FLD dword [EDI]
  EXPECT_EQ(2u, r.advanced);
  expect_loaded();
}

TEST_F(Decoder, AbsoluteAddress) {
  Outcome r = run_bytes({0xD9, 0x05, ADDR_BYTES(&value[1])});
  EXPECT_EQ(6u, r.advanced);
  expect_loaded();
}

TEST_F(Decoder, ScaleIndexBaseForms) {
  Env env = {};
  env.ESP = operand();
  Outcome r = run_bytes({0xD9, 0x04, 0x24}, env);  // [ESP], no index
  EXPECT_EQ(3u, r.advanced);
  expect_loaded();

  fpu_reset();
  r = run_bytes({0xD9, 0x04, 0x25, ADDR_BYTES(&value[1])});  // no base, no index: disp32 alone
  EXPECT_EQ(7u, r.advanced);
  expect_loaded();

  fpu_reset();
  env = {};
  env.EBX = guest_addr(&value[0]);
  env.ECX = 1;
  r = run_bytes({0xD9, 0x04, 0x8B}, env);  // [EBX + ECX*4]
  EXPECT_EQ(3u, r.advanced);
  expect_loaded();

  fpu_reset();
  env.ECX = 2;
  r = run_bytes({0xD9, 0x44, 0x8B, 0xFC}, env);  // [EBX + ECX*4 - 4]
  EXPECT_EQ(4u, r.advanced);
  expect_loaded();

  fpu_reset();
  env.ECX = 0x100;
  r = run_bytes({0xD9, 0x84, 0x4B, 0x04, 0xFE, 0xFF, 0xFF}, env);  // [EBX + ECX*2 - 0x1FC]
  EXPECT_EQ(7u, r.advanced);
  expect_loaded();

  fpu_reset();
  env = {};
  env.EDX = 1;
  u32 base = operand() - 8;
  r = run_bytes({0xD9, 0x04, 0xD5, (u8)base, (u8)(base >> 8), (u8)(base >> 16), (u8)(base >> 24)}, env);
  EXPECT_EQ(7u, r.advanced);  // no base with mod 0: [EDX*8 + disp32]
  expect_loaded();

  fpu_reset();
  env = {};
  env.EBP = operand() - 1;
  r = run_bytes({0xD9, 0x44, 0x25, 0x01}, env);  // base EBP with mod 1: [EBP + 1]
  EXPECT_EQ(4u, r.advanced);
  expect_loaded();
}

TEST_F(Decoder, AnyByteIsAnEscapeByItsLowBits) {
  *fpu_st(0) = ext_one;
  Outcome r = run_bytes({0x01, 0xC0});  // treated as D9 C0
  EXPECT_EQ(2u, r.advanced);
  EXPECT_EQ(7u, fpu_state.top & 7);
}

TEST_F(Decoder, RegisterFormWhereAnAddressIsNeededIsAbandoned) {
  fpu_set_trace(capture);
  Outcome r = run_bytes({0xDD, 0xF0});
  EXPECT_EQ(1, r.result);
  EXPECT_EQ(0u, r.advanced);
  EXPECT_EQ("Attempt to get address from mod = 3\r\n", trace_text);
}

TEST_F(Decoder, UnimplementedEntriesAreMaskedInvalidOperations) {
  fpu_set_trace(capture);
  Outcome r = run_bytes({0xD9, 0xE2});
  EXPECT_EQ(0, r.result);
  EXPECT_EQ(2u, r.advanced);
  EXPECT_EQ(0x81u, fpu_state.status);
  char expected[128];
  snprintf(expected, sizeof expected, "Unimplemented 80387 Opcode at eip=0x%08x : d9 e2 - e14 s2\r\n",
           r.env.EIP - 2);
  EXPECT_EQ(expected, trace_text);

  trace_text.clear();
  fpu_state.status = 0;
  Env env = {};
  env.EAX = operand();
  r = run_bytes({0xD9, 0x20}, env);  // FLDENV [EAX]
  EXPECT_EQ(2u, r.advanced);
  EXPECT_EQ(0x81u, fpu_state.status);
  snprintf(expected, sizeof expected, "Unimplemented 80387 Opcode at eip=0x%08x : d9 /4 - e14\r\n", r.env.EIP - 2);
  EXPECT_EQ(expected, trace_text);

  // The register form of an integer load makes the push check first.
  for (int i = 0; i < 8; i++) run_bytes({0xD9, 0xE8});
  fpu_state.status = 0;
  r = run_bytes({0xDB, 0xC0});
  EXPECT_EQ(0x2C1u, fpu_state.status & 0x2FF);
  EXPECT_EQ(2u, r.advanced);
}

TEST_F(Decoder, TraceIsOffByDefault) {
  Outcome r = run_bytes({0xD9, 0xE2});
  EXPECT_EQ(0, r.result);
  EXPECT_TRUE(trace_text.empty());
  EXPECT_TRUE(captured_log.empty());
}

TEST_F(Decoder, FullStackStillConsumesTheDisplacement) {
  for (int i = 0; i < 8; i++) run_bytes({0xD9, 0xEE});  // FLDZ x 8
  Outcome r = run_bytes({0xD9, 0x05, ADDR_BYTES(&value[1])});
  EXPECT_EQ(0, r.result);
  EXPECT_EQ(6u, r.advanced);
  EXPECT_EXT(ext_indefinite, *fpu_st(0));
  EXPECT_EQ(0x2C1u, fpu_state.status & 0x2FF);
}

TEST_F(Decoder, UnmaskedExceptionAbandonsAtTheInstruction) {
  u16 cw = 0x037E;
  Env env = {};
  env.EAX = guest_addr(&cw);
  run_bytes({0xD9, 0x28}, env);  // FLDCW [EAX]
  EXPECT_EQ(0x037Eu, fpu_state.control);
  fpu_set_trace(capture);
  env.EAX = 0x1234;
  Outcome r = run_bytes({0xD8, 0xC1}, env);  // FADD ST, ST(1) with an empty stack
  EXPECT_EQ(1, r.result);
  EXPECT_EQ(0u, r.advanced);
  EXPECT_EQ(0x1234u, r.env.EAX);
  EXPECT_EQ(0xC1u, fpu_state.status & 0xFF);
  EXPECT_EQ(0u, fpu_state.top);
  EXPECT_EQ(0u, trace_text.find("80387 Exception: stack underflow!\r\n  SW: 0x00c1  top=0 cc=0000    CW: 0x037e\r\n"))
      << trace_text;
  r = run_bytes({0xDB, 0xE2});  // FNCLEX
  EXPECT_EQ(0, r.result);
  EXPECT_EQ(0u, fpu_state.status & 0xFF);
}

TEST_F(Decoder, UnmaskedFaultAfterAPushKeepsThePush) {
  fpu_state.control = 0x037B;  // divide by zero unmasked
  run_bytes({0xD9, 0xE8});     // FLD1
  run_bytes({0xD9, 0xEE});     // FLDZ
  Outcome r = run_bytes({0xDE, 0xF9});  // FDIVP ST(1), ST: 1 / 0
  EXPECT_EQ(1, r.result);
  EXPECT_EQ(6u, fpu_state.top & 7);  // not popped
  EXPECT_EQ(0x84u, fpu_state.status & 0xFF);
}

TEST_F(Decoder, StoreStatusWordToAx) {
  fpu_state.top = 5;
  Env env = {};
  env.EAX = 0xABCD0000u;
  Outcome r = run_bytes({0xDF, 0xE0}, env);
  EXPECT_EQ(0xABCD0000u | 5u << 11, r.env.EAX);
  EXPECT_EQ(0u, r.env.EBX);
}

TEST_F(Decoder, MmxIsNotImplemented) {
  captured_log.clear();
  Env env = {};
  env.EAX = 77;
  env.EIP = 0x1000;
  EXPECT_EQ(77, EmuMMX(&env));
  EXPECT_EQ(0x1000u, env.EIP);
  EXPECT_EQ("MMX not implemented\n", captured_log);
  captured_log.clear();
}

}  // namespace
